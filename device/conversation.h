#pragma once

#include "device/devicereply.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <functional>

class LineChannel;
class QTimer;

// One command to the device and what counts as its reply.
struct DeviceRequest
{
    // Longer than any reply of the device family takes.
    static constexpr int kReplyTimeoutMs = 10000;
    // What the device needs after the poll stops before it takes a command.
    static constexpr int kGapMs = 500;

    QByteArray command; // without line end
    QString word;       // the word of its reply; the command's first word by default
    // Lines holding one of these but not `word` are another command's reply: the request ends
    // as rejected.
    QStringList otherReplies;
    // Whether a line is the reply; by default: it holds `word`.
    std::function<bool(const QString &line)> isReply;
    int gapMs = 0;
    // 0: the conversation's default time-out.
    int timeoutMs = 0;

    static DeviceRequest query(const QString &word);
    static DeviceRequest write(const QString &word, const QString &argument);
};

// The conversation with one device: one command on the wire at a time, in order, each with its
// own time-out that runs only while it waits on the device; every line classified once.
class Conversation : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Idle,
        Gap,
        Awaiting
    };
    Q_ENUM(State)
    enum class LineKind
    {
        Reply,
        Live,
        Late,
        Noise
    };
    Q_ENUM(LineKind)

    explicit Conversation(LineChannel *channel, QObject *parent = nullptr);
    ~Conversation() override;

    // Queues the request; its reply finishes later, never inside this call.
    DeviceReply *send(const DeviceRequest &request);
    // Writes a line no reply is awaited for (the poll) when nothing is on the wire or queued.
    bool writeUnawaited(const QByteArray &bytes);
    // The poll word: lines starting with it and a value are live lines.
    void setLiveWord(const QString &word) { m_liveWord = word; }
    QString liveWord() const { return m_liveWord; }
    // The time-out of requests that set none; 0 or less restores kReplyTimeoutMs. Tests shorten it.
    void setDefaultTimeoutMs(int ms) { m_defaultTimeoutMs = ms > 0 ? ms : DeviceRequest::kReplyTimeoutMs; }
    int defaultTimeoutMs() const { return m_defaultTimeoutMs; }
    // Ends every request with Closed and forgets late words (the port closed).
    void close();

    State state() const { return m_state; }
    bool isIdle() const { return m_state == State::Idle && m_queue.isEmpty(); }
    int queuedCount() const { return m_queue.size(); }
    LineChannel *channel() const { return m_channel; }

signals:
    // Every line once, with what it was taken for.
    void lineClassified(const QString &line, Conversation::LineKind kind);
    // A line that answers no request: a live line, a late reply or noise.
    void unclaimedLine(const QString &line, Conversation::LineKind kind);
    void liveLine(const QString &line);
    void requestWritten(const QByteArray &command);
    void becameIdle();

private:
    struct Pending
    {
        DeviceRequest request;
        QPointer<DeviceReply> reply;
    };

    void startNext();
    void writeCurrent();
    void onLine(const QString &line);
    void timedOut();
    void finishCurrent(DeviceReply::Error error, const QString &line = QString());
    void deliver(DeviceReply *reply);
    bool takeLateWord(const QString &line, const QString &awaited);

    LineChannel *m_channel;
    QTimer *m_timer;
    State m_state = State::Idle;
    QList<Pending> m_queue;
    Pending m_current;
    bool m_hasCurrent = false;
    bool m_inSend = false; // finishing from inside send() or close(): tell from the event loop
    QString m_liveWord;
    int m_defaultTimeoutMs = DeviceRequest::kReplyTimeoutMs;
    QSet<QString> m_lateWords;
    QElapsedTimer m_sinceWrite;
};
