#pragma once

#include "device/devicesession.h"
#include "tools/tq-sim/deviceresponder.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

// A device in the test process: the simulator's responder behind a QIODevice, no pty, no window.
// Each command line is answered `delayMs` later; `extra` may add lines (noise, late replies).
class ResponderPort : public QIODevice
{
public:
    explicit ResponderPort(tqsim::Model model) : responder(model)
    {
        open(QIODevice::ReadWrite);
        clock.start();
    }

    // Bytes as if the device had sent them now.
    void send(const QByteArray &bytes)
    {
        m_in += bytes;
        emit readyRead();
    }

    DeviceResponder responder;
    int delayMs = 1;
    std::function<QByteArray(const QByteArray &command)> override; // replaces the answer when set
    QList<QByteArray> received;                                    // command lines, without line end
    QList<qint64> receivedMs;
    QElapsedTimer clock;

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = qMin<qint64>(max, m_in.size());
        memcpy(data, m_in.constData(), size_t(n));
        m_in.remove(0, int(n));
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        m_out.append(data, int(size));
        for (int end = m_out.indexOf('\n'); end >= 0; end = m_out.indexOf('\n')) {
            const QByteArray line = m_out.left(end).trimmed();
            m_out.remove(0, end + 1);
            received.append(line);
            receivedMs.append(clock.elapsed());
            const QByteArray reply =
                override ? override(line) : responder.answer(line, clock.elapsed() / 1000.0);
            if (!reply.isEmpty())
                QTimer::singleShot(delayMs, this, [this, reply] { send(reply + "\r\n"); });
        }
        return size;
    }
    qint64 bytesAvailable() const override { return m_in.size() + QIODevice::bytesAvailable(); }
    bool isSequential() const override { return true; }

private:
    QByteArray m_in;
    QByteArray m_out;
};

// Attaches the session to the port, identifies the device and polls it every `pollMs`, as a
// procedure needs it; false when the device was not identified.
inline bool identifyAndPoll(DeviceSession &session, ResponderPort &port, const QString &serial,
                            int pollMs = 20)
{
    session.attach(&port, QStringLiteral("mem0"), serial);
    QSignalSpy identified(&session, &DeviceSession::identified);
    session.identify();
    if (!identified.wait(2000))
        return false;
    QObject::connect(&session, &DeviceSession::pollDue, &session, [&session] { session.writePoll(); });
    session.setPollPeriod(pollMs);
    session.setPolling(true);
    return true;
}
