#pragma once

#include "deviceresponder.h"
#include "lineframer.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QQueue>

class QSocketNotifier;
class QTimer;

// One simulated TQ-series device on a pseudo-terminal: the tool opens portName() as its serial
// port; every command line is recorded and answered, driven by the owning thread's event loop.
class SimulatedDevice : public QObject
{
    Q_OBJECT
public:
    using Model = tqsim::Model;

    explicit SimulatedDevice(Model model, QObject *parent = nullptr);
    ~SimulatedDevice() override;

    bool open(); // create the pty pair; false + errorString() on failure
    void close();
    bool isOpen() const { return m_masterFd >= 0; }
    QString portName() const { return m_portName; }
    QString errorString() const { return m_errorString; }
    Model model() const { return m_responder.model(); }

    void setVersionReply(const QByteArray &line); // CR LF is added when sent
    QByteArray versionReply() const { return m_responder.versionReply(); }
    void setResponding(bool on);  // off: commands are recorded but neither acted on nor answered
    void setReplyDelayMs(int ms); // fixed delay; a negative value restores the default 0-5 ms
    void setNoValues(bool on);    // live fields sent as "----"
    void sendRaw(const QByteArray &bytes);
    void setRecording(bool on); // off: no transcript kept, for long unattended runs

    QVariant setting(const QString &word) const { return m_responder.setting(word); }
    bool setSetting(const QString &word, const QVariant &value)
    {
        return m_responder.setSetting(word, value);
    }

    QList<QByteArray> receivedCommands() const { return m_commands; }
    QByteArray receivedBytes() const { return m_bytes; }
    QList<qint64> receivedTimesMs() const { return m_times; }
    void clearTranscript();

signals:
    void commandReceived(const QByteArray &line); // after recording, before the reply
    void replySent(const QByteArray &line);       // with its CR LF

private:
    struct PendingReply
    {
        qint64 dueMs;
        QByteArray bytes;
    };

    void readMaster();
    void handleLine(const QByteArray &line);
    void sendDueReplies();
    void scheduleNextReply();
    bool writeMaster(const QByteArray &bytes);
    bool fail(const QString &what);

    DeviceResponder m_responder;
    LineFramer m_framer;
    int m_masterFd = -1;
    int m_slaveFd = -1; // held open so the master never sees a hang-up while the tool's port is closed
    QString m_portName;
    QString m_errorString;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_replyTimer = nullptr;
    QTimer *m_resumeTimer = nullptr;
    QElapsedTimer m_clock;
    QQueue<PendingReply> m_pending;
    bool m_responding = true;
    bool m_recording = true;
    int m_replyDelayMs = -1;
    QList<QByteArray> m_commands;
    QList<qint64> m_times;
    QByteArray m_bytes;
};
