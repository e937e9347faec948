#pragma once

#include "deviceresponder.h"
#include "lineframer.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QSet>

class QSocketNotifier;
class QTimer;

// One simulated TQ-series device on a pseudo-terminal: the tool opens portName() as its serial
// port; every command line is recorded and answered, driven by the owning thread's event loop.
class SimulatedDevice : public QObject
{
    Q_OBJECT
public:
    using Model = tqsim::Model;

    // One line of the transcript: a command line as received, or one write to the tool (a reply,
    // one chunk of a split reply, an echo, a noise line or raw bytes). Times count from open().
    struct TranscriptEntry
    {
        enum Direction
        {
            Received,
            Sent
        };
        Direction direction;
        qint64 timeMs;
        QByteArray bytes;
    };
    enum NoiseFlag
    {
        NoNoise = 0,
        NoiseLines = 1,  // a text line without any command word after each reply
        NulBytes = 2,    // a line of NUL bytes after each reply
        InvalidUtf8 = 4, // a line of bytes that are not UTF-8 after each reply
    };
    Q_DECLARE_FLAGS(Noise, NoiseFlag)

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
    void setRecording(bool on);               // off: no transcript kept, for long unattended runs
    bool setFirmware(const QByteArray &text); // "1v2": version reply and command gates follow it
    int firmware() const { return m_responder.firmware(); }
    DeviceResponder &responder() { return m_responder; } // the model's state and content faults
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

    // Faults on the wire. Split: every reply goes out in chunks of chunkBytes with pauseMs between
    // them (0 bytes: whole). Vanish: the pty closes once the reply to the n-th command since open()
    // is out (0: never). Echo: each command is sent back, without its line end, just before its reply.
    void setSplitReplies(int chunkBytes, int pauseMs);
    void setNoise(Noise noise) { m_noise = noise; }
    void setEcho(bool on) { m_echo = on; }
    void setVanishAfter(int commands) { m_vanishAfter = commands; }
    // Stream: from the first command on, live lines go out unasked, back to back at the pace
    // 115200 baud 8N1 carries them (a firmware fault seen in the field); when the tool does not
    // read and the pty is full they are dropped, as on the wire.
    void setStreaming(bool on);
    // Faults in what is said, kept by the responder (see DeviceResponder).
    void setSilentWords(const QSet<QByteArray> &words) { m_responder.setSilentWords(words); }
    void setRefuseActions(bool on) { m_responder.setRefuseActions(on); }
    void setNoValueFields(const QSet<int> &fields) { m_responder.setNoValueFields(fields); }

    // The gas the primary channel reads (see DeviceResponder::setGasModel); setGas changes it now.
    void setGasModel(const GasModel::Params &params) { m_responder.setGasModel(params); }
    bool setGas(double gas) { return m_responder.setGas(gas, elapsedMs() / 1000.0); }

    QVariant setting(const QString &word) const { return m_responder.setting(word); }
    bool setSetting(const QString &word, const QVariant &value)
    {
        return m_responder.setSetting(word, value);
    }

    QList<QByteArray> receivedCommands() const { return m_commands; }
    QByteArray receivedBytes() const { return m_bytes; }
    QList<qint64> receivedTimesMs() const { return m_times; }
    QList<TranscriptEntry> transcript() const { return m_transcript; }
    void clearTranscript();

signals:
    void commandReceived(const QByteArray &line); // after recording, before the reply
    void replySent(const QByteArray &line);       // with its CR LF, once its last byte is out
    void bytesSent(const QByteArray &bytes);      // every write, as recorded in the transcript
    void vanished();                              // closed by setVanishAfter

private:
    struct PendingReply
    {
        qint64 dueMs;
        QByteArray bytes;
        QByteArray wholeReply; // set on the last piece of a reply
    };

    void readMaster();
    void handleLine(const QByteArray &line);
    void sendDueReplies();
    void scheduleNextReply();
    void enqueue(qint64 dueMs, const QByteArray &bytes, const QByteArray &wholeReply = QByteArray());
    void queueReply(qint64 now, const QByteArray &reply);
    void vanishIfDue();
    void streamLiveLines();
    bool writeMaster(const QByteArray &bytes, bool dropWhenFull = false);
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
    QTimer *m_streamTimer = nullptr;
    QElapsedTimer m_streamClock;
    qint64 m_streamedBytes = 0;
    bool m_streaming = false;
    QElapsedTimer m_clock;
    QQueue<PendingReply> m_pending;
    bool m_responding = true;
    bool m_recording = true;
    int m_replyDelayMs = -1;
    int m_splitBytes = 0;
    int m_splitPauseMs = 0;
    Noise m_noise = NoNoise;
    bool m_echo = false;
    int m_vanishAfter = 0;
    int m_commandCount = 0;
    bool m_vanishing = false;
    QList<TranscriptEntry> m_transcript;
    QList<QByteArray> m_commands;
    QList<qint64> m_times;
    QByteArray m_bytes;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(SimulatedDevice::Noise)
