#include "device/conversation.h"

#include "device/commandset.h"
#include "device/linechannel.h"

#include <QTimer>

DeviceRequest DeviceRequest::query(const QString &word)
{
    DeviceRequest request;
    request.command = word.toLatin1();
    request.word = word;
    return request;
}

DeviceRequest DeviceRequest::write(const QString &word, const QString &argument)
{
    DeviceRequest request;
    request.command = (word + QLatin1Char(' ') + argument).toLatin1();
    request.word = word;
    return request;
}

QString DeviceReply::errorText(Error error)
{
    switch (error) {
    case NoError:
        return QStringLiteral("done");
    case NoAnswer:
        return QStringLiteral("no answer");
    case Rejected:
        return QStringLiteral("another reply came");
    case Refused:
        return QStringLiteral("refused by the device");
    case Unreadable:
        return QStringLiteral("unreadable reply");
    case WriteFailed:
        return QStringLiteral("write failed");
    case Closed:
        return QStringLiteral("port closed");
    }
    return QString();
}

Conversation::Conversation(LineChannel *channel, QObject *parent)
    : QObject(parent), m_channel(channel), m_timer(new QTimer(this))
{
    qRegisterMetaType<Conversation::LineKind>();
    qRegisterMetaType<DeviceReply::Error>();
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &Conversation::timedOut);
    connect(channel, &LineChannel::lineReceived, this, &Conversation::onLine);
}

Conversation::~Conversation()
{
    m_timer->stop();
}

DeviceReply *Conversation::send(const DeviceRequest &request)
{
    DeviceRequest r = request;
    if (r.word.isEmpty())
        r.word = QString::fromLatin1(r.command).section(QLatin1Char(' '), 0, 0).trimmed();
    if (r.timeoutMs <= 0)
        r.timeoutMs = m_defaultTimeoutMs;
    auto *reply = new DeviceReply(r.command, r.word, this);
    m_queue.append({r, reply});
    // Whatever ends inside this call is told from the event loop, once the caller has connected.
    const bool outer = !m_inSend;
    m_inSend = true;
    startNext();
    if (outer)
        m_inSend = false;
    return reply;
}

bool Conversation::writeUnawaited(const QByteArray &bytes)
{
    return isIdle() && m_channel->write(bytes);
}

void Conversation::startNext()
{
    if (m_state != State::Idle || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    m_hasCurrent = true;
    if (m_current.request.gapMs > 0) {
        m_state = State::Gap;
        m_timer->start(m_current.request.gapMs);
        return;
    }
    writeCurrent();
}

void Conversation::writeCurrent()
{
    m_state = State::Awaiting;
    if (!m_channel->write(m_current.request.command + "\r\n")) {
        finishCurrent(DeviceReply::WriteFailed);
        return;
    }
    emit requestWritten(m_current.request.command);
    // The reply's clock starts when the command is on its way, not while it was queued.
    if (m_state == State::Awaiting && m_hasCurrent)
        m_timer->start(m_current.request.timeoutMs);
}

void Conversation::timedOut()
{
    if (!m_hasCurrent)
        return;
    if (m_state == State::Gap) {
        writeCurrent();
        return;
    }
    m_lateWords.insert(m_current.request.word);
    finishCurrent(DeviceReply::NoAnswer);
}

bool Conversation::takeLateWord(const QString &line, const QString &awaited)
{
    for (const QString &word : qAsConst(m_lateWords)) {
        if (line.contains(word) && (awaited.isEmpty() || !line.contains(awaited))) {
            m_lateWords.remove(word);
            return true;
        }
    }
    return false;
}

void Conversation::onLine(const QString &line)
{
    if (m_state == State::Awaiting && m_hasCurrent) {
        const DeviceRequest &request = m_current.request;
        const bool isReply = request.isReply ? request.isReply(line) : line.contains(request.word);
        if (isReply) {
            emit lineClassified(line, LineKind::Reply);
            finishCurrent(DeviceReply::NoError, line);
            return;
        }
        if (Cmd::containsAny(line, request.otherReplies)) {
            if (takeLateWord(line, request.word)) {
                emit lineClassified(line, LineKind::Late);
                emit unclaimedLine(line, LineKind::Late);
                return;
            }
            emit lineClassified(line, LineKind::Reply);
            finishCurrent(DeviceReply::Rejected, line);
            return;
        }
    }
    if (Cmd::isLiveLine(line, m_liveWord)) {
        emit lineClassified(line, LineKind::Live);
        emit liveLine(line);
        emit unclaimedLine(line, LineKind::Live);
        return;
    }
    const LineKind kind = takeLateWord(line, m_hasCurrent ? m_current.request.word : QString())
                              ? LineKind::Late
                              : LineKind::Noise;
    emit lineClassified(line, kind);
    emit unclaimedLine(line, kind);
}

void Conversation::finishCurrent(DeviceReply::Error error, const QString &line)
{
    m_timer->stop();
    const Pending done = m_current;
    m_current = Pending();
    m_hasCurrent = false;
    m_state = State::Idle;
    DeviceReply *reply = done.reply;
    if (reply) {
        reply->m_finished = true;
        reply->m_error = error;
        reply->m_line = line;
        if (!line.isEmpty())
            reply->m_value = Cmd::replyValue(line, done.request.word);
    }
    // The next request goes out before the reply is told: a handler that opens a box must not
    // hold up the queue.
    startNext();
    if (reply)
        deliver(reply);
    if (isIdle())
        emit becameIdle();
}

void Conversation::deliver(DeviceReply *reply)
{
    if (m_inSend) {
        QPointer<DeviceReply> later(reply);
        QMetaObject::invokeMethod(
            this,
            [later] {
                if (!later)
                    return;
                emit later->finished();
                if (later)
                    later->deleteLater();
            },
            Qt::QueuedConnection);
        return;
    }
    QPointer<DeviceReply> self(reply);
    emit reply->finished();
    if (self)
        reply->deleteLater();
}

void Conversation::close()
{
    m_timer->stop();
    m_lateWords.clear();
    QList<Pending> ended = m_queue;
    m_queue.clear();
    if (m_hasCurrent)
        ended.prepend(m_current);
    m_current = Pending();
    m_hasCurrent = false;
    m_state = State::Idle;
    // Told from the event loop: close may be called from inside a reply's handler.
    const bool outer = !m_inSend;
    m_inSend = true;
    for (const Pending &pending : qAsConst(ended)) {
        if (DeviceReply *reply = pending.reply) {
            reply->m_finished = true;
            reply->m_error = DeviceReply::Closed;
            deliver(reply);
        }
    }
    if (outer)
        m_inSend = false;
}
