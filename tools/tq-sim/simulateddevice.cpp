#include "simulateddevice.h"

#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const int kReadChunk = 4096;
const int kResumeAfterHangUpMs = 50;
const int kVanishGraceMs = 50; // lets the tool read the last reply before the port goes
const qint64 kWireBytesPerSecond = 115200 / 10; // 8N1: ten bits a byte
const int kStreamTickMs = 5;

void setFlag(int fd, int getCmd, int setCmd, int flag)
{
    const int flags = ::fcntl(fd, getCmd);
    if (flags >= 0)
        ::fcntl(fd, setCmd, flags | flag);
}

} // namespace

SimulatedDevice::SimulatedDevice(Model model, QObject *parent) : QObject(parent), m_responder(model)
{
    m_replyTimer = new QTimer(this);
    m_replyTimer->setSingleShot(true);
    connect(m_replyTimer, &QTimer::timeout, this, &SimulatedDevice::sendDueReplies);
    m_resumeTimer = new QTimer(this);
    m_resumeTimer->setSingleShot(true);
    m_resumeTimer->setInterval(kResumeAfterHangUpMs);
    connect(m_resumeTimer, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
    m_streamTimer = new QTimer(this);
    m_streamTimer->setTimerType(Qt::PreciseTimer);
    m_streamTimer->setInterval(kStreamTickMs);
    connect(m_streamTimer, &QTimer::timeout, this, &SimulatedDevice::streamLiveLines);
}

SimulatedDevice::~SimulatedDevice()
{
    close();
}

bool SimulatedDevice::fail(const QString &what)
{
    m_errorString = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    close();
    return false;
}

bool SimulatedDevice::open()
{
    close();
    m_errorString.clear();
    if (::openpty(&m_masterFd, &m_slaveFd, nullptr, nullptr, nullptr) != 0) {
        m_masterFd = m_slaveFd = -1;
        return fail(QStringLiteral("openpty failed"));
    }
    // Raw from the start: nothing the tool writes may be echoed back before it configures the port.
    termios tio;
    if (::tcgetattr(m_slaveFd, &tio) != 0)
        return fail(QStringLiteral("tcgetattr failed"));
    ::cfmakeraw(&tio);
    if (::tcsetattr(m_slaveFd, TCSANOW, &tio) != 0)
        return fail(QStringLiteral("tcsetattr failed"));
    const char *name = ::ptsname(m_masterFd);
    if (!name)
        return fail(QStringLiteral("ptsname failed"));
    m_portName = QString::fromLocal8Bit(name);
    setFlag(m_masterFd, F_GETFL, F_SETFL, O_NONBLOCK);
    setFlag(m_masterFd, F_GETFD, F_SETFD, FD_CLOEXEC);
    setFlag(m_slaveFd, F_GETFD, F_SETFD, FD_CLOEXEC);

    m_framer.clear();
    m_commandCount = 0;
    m_vanishing = false;
    m_clock.start();
    m_notifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimulatedDevice::readMaster);
    return true;
}

void SimulatedDevice::close()
{
    if (m_notifier) {
        // close() may run inside the notifier's own activation (a commandReceived handler).
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_replyTimer->stop();
    m_resumeTimer->stop();
    m_streamTimer->stop();
    m_pending.clear();
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    m_masterFd = m_slaveFd = -1;
}

void SimulatedDevice::setVersionReply(const QByteArray &line)
{
    m_responder.setVersionReply(line);
}

void SimulatedDevice::setResponding(bool on)
{
    m_responding = on;
}

void SimulatedDevice::setReplyDelayMs(int ms)
{
    m_replyDelayMs = ms;
}

bool SimulatedDevice::setFirmware(const QByteArray &text)
{
    return m_responder.setFirmware(text);
}

void SimulatedDevice::setSplitReplies(int chunkBytes, int pauseMs)
{
    m_splitBytes = qMax(0, chunkBytes);
    m_splitPauseMs = qMax(0, pauseMs);
}

void SimulatedDevice::setStreaming(bool on)
{
    m_streaming = on;
    if (!on)
        m_streamTimer->stop();
}

void SimulatedDevice::streamLiveLines()
{
    const qint64 carried = m_streamClock.elapsed() * kWireBytesPerSecond / 1000;
    while (m_streamedBytes < carried && m_masterFd >= 0) {
        const QByteArray line =
            m_responder.answer(m_responder.pollWord(), m_clock.elapsed() / 1000.0) + "\r\n";
        m_streamedBytes += line.size();
        writeMaster(line, true);
    }
}

void SimulatedDevice::setNoValues(bool on)
{
    m_responder.setNoValues(on);
}

void SimulatedDevice::setRecording(bool on)
{
    m_recording = on;
    if (!on)
        clearTranscript();
}

void SimulatedDevice::sendRaw(const QByteArray &bytes)
{
    writeMaster(bytes);
}

void SimulatedDevice::clearTranscript()
{
    m_commands.clear();
    m_times.clear();
    m_bytes.clear();
    m_transcript.clear();
}

void SimulatedDevice::readMaster()
{
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_masterFd, buffer, sizeof buffer);
        if (n > 0) {
            const QByteArray chunk(buffer, int(n));
            if (m_recording)
                m_bytes.append(chunk);
            for (const QByteArray &line : m_framer.feed(chunk))
                handleLine(line);
            if (m_masterFd < 0) // closed from a commandReceived handler
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // EOF or EIO: no slave is open. Pause instead of spinning on a notifier that stays ready.
        if (m_notifier) {
            m_notifier->setEnabled(false);
            m_resumeTimer->start();
        }
        return;
    }
}

void SimulatedDevice::handleLine(const QByteArray &line)
{
    if (line.trimmed().isEmpty() || m_vanishing)
        return;
    const qint64 now = m_clock.elapsed();
    if (m_recording) {
        m_commands.append(line);
        m_times.append(now);
        m_transcript.append({TranscriptEntry::Received, now, line});
    }
    ++m_commandCount;
    m_vanishing = m_vanishAfter > 0 && m_commandCount >= m_vanishAfter;
    emit commandReceived(line);
    if (m_streaming && !m_streamTimer->isActive() && m_masterFd >= 0) {
        m_streamClock.start();
        m_streamedBytes = 0;
        m_streamTimer->start();
    }
    if (m_responding && m_masterFd >= 0) {
        // Echoed characters without the line end: echo and reply share one line, as on a
        // terminal-style device that answers right after the typed command.
        if (m_echo)
            enqueue(now, QByteArray(line).replace("\r", "").replace("\n", ""));
        const QByteArray reply = m_responder.answer(line, now / 1000.0);
        if (!reply.isEmpty())
            queueReply(now, reply + "\r\n");
    }
    vanishIfDue();
}

void SimulatedDevice::queueReply(qint64 now, const QByteArray &reply)
{
    const int delay = m_replyDelayMs >= 0 ? m_replyDelayMs : QRandomGenerator::global()->bounded(6);
    qint64 due = now + delay;
    const int chunk = m_splitBytes > 0 ? m_splitBytes : reply.size();
    for (int at = 0; at < reply.size(); at += chunk, due += m_splitPauseMs) {
        const bool last = at + chunk >= reply.size();
        enqueue(due, reply.mid(at, chunk), last ? reply : QByteArray());
    }
    // Junk goes after the reply, so a tool that drops the rest of a chunk at a NUL loses no reply.
    if (m_noise & NoiseLines)
        enqueue(due, QByteArray("#noise ") + QByteArray::number(QRandomGenerator::global()->bounded(1000)) +
                         "\r\n");
    if (m_noise & NulBytes)
        enqueue(due, QByteArray("\0\0\0\r\n", 5));
    if (m_noise & InvalidUtf8)
        enqueue(due, QByteArray("\xff\xfe\xc3\x28\x80\r\n"));
}

void SimulatedDevice::enqueue(qint64 dueMs, const QByteArray &bytes, const QByteArray &wholeReply)
{
    // Pieces leave in the order queued even when a shorter random delay follows a longer one.
    const qint64 due = qMax(dueMs, m_pending.isEmpty() ? qint64(0) : m_pending.last().dueMs);
    m_pending.enqueue({due, bytes, wholeReply});
    scheduleNextReply();
}

void SimulatedDevice::vanishIfDue()
{
    if (!m_vanishing || !m_pending.isEmpty() || m_masterFd < 0)
        return;
    const int fd = m_masterFd;
    QTimer::singleShot(kVanishGraceMs, this, [this, fd] {
        if (m_masterFd != fd || !m_vanishing)
            return; // closed or reopened meanwhile
        close();
        emit vanished();
    });
}

void SimulatedDevice::scheduleNextReply()
{
    if (m_pending.isEmpty() || m_replyTimer->isActive())
        return;
    m_replyTimer->start(int(qMax<qint64>(0, m_pending.head().dueMs - m_clock.elapsed())));
}

void SimulatedDevice::sendDueReplies()
{
    while (!m_pending.isEmpty() && m_pending.head().dueMs <= m_clock.elapsed()) {
        const PendingReply piece = m_pending.dequeue();
        writeMaster(piece.bytes);
        if (!piece.wholeReply.isEmpty())
            emit replySent(piece.wholeReply);
        if (m_masterFd < 0) // closed from a replySent handler
            return;
    }
    scheduleNextReply();
    vanishIfDue();
}

bool SimulatedDevice::writeMaster(const QByteArray &bytes, bool dropWhenFull)
{
    if (m_masterFd < 0)
        return false;
    if (m_recording)
        m_transcript.append({TranscriptEntry::Sent, m_clock.elapsed(), bytes});
    emit bytesSent(bytes);
    int written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_masterFd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += int(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (dropWhenFull) {
            return false;
        } else {
            // The tool is not reading and the tty queue is full: a real USB device drops the data too.
            qWarning("tq-sim %s: %d reply bytes dropped", qPrintable(m_portName),
                     int(bytes.size() - written));
            return false;
        }
    }
    return true;
}
