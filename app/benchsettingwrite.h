#pragma once

#include "device/conversation.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class CalibrationJournal;
class DeviceHost;
class DeviceReply;

// One setting written to several devices of one model: each device reads the value it holds,
// writes the new one through its own conversation and is confirmed by its own reply, recorded in
// its own record. A device that does not answer or refuses never holds up the others.
class BenchSettingWrite : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        None,
        Writing,
        Confirmed,
        Rejected,
        NoReply,
        NotOnFirmware,
        Refused, // not written: the device is busy or gone, or the value is out of range
    };
    Q_ENUM(Outcome)

    explicit BenchSettingWrite(QObject *parent = nullptr);
    ~BenchSettingWrite() override;

    // The model all the devices are of; 0 with the reason when they are of several or unknown.
    static int commonModel(const QList<DeviceHost *> &hosts, QString *why = nullptr);
    // The settings of the model that can be written at some firmware, in table order.
    static QStringList writableWords(int model);

    // The pause after a poll before each command, and how long each device has for each reply
    // (the conversation's own time-out when 0): quicker ones for demonstrations and tests.
    void setPacing(int gapMs, int timeoutMs)
    {
        m_gapMs = gapMs;
        m_timeoutMs = timeoutMs;
    }
    // Writes `value` to `word` on each device; false with errorString() when nothing starts
    // because the devices are of several models.
    bool start(const QList<DeviceHost *> &hosts, const QString &word, const QString &value);
    QString errorString() const { return m_error; }
    bool isRunning() const;
    QList<DeviceHost *> hosts() const;
    Outcome outcome(const DeviceHost *host) const;
    QString stateText(const DeviceHost *host) const;

signals:
    void changed(DeviceHost *host);
    void finished();

private:
    struct Run;

    Run *runOf(const DeviceHost *host) const;
    void begin(Run &run);
    void onBefore(Run &run, DeviceReply *reply);
    void onWritten(Run &run, DeviceReply *reply);
    void end(Run &run, Outcome outcome, const QString &text);

    std::vector<std::unique_ptr<Run>> m_runs;
    QString m_word;
    QString m_value;
    QString m_error;
    int m_gapMs = DeviceRequest::kGapMs;
    int m_timeoutMs = 0;
};
