#pragma once

#include <QHash>
#include <QJsonObject>
#include <QPointer>
#include <QString>

class CalibrationRecord;
struct CalibrationEvent;

// What one device conversation puts into the calibration record: every completed refresh, and
// every write or action with what the device held before, what was sent and what it confirmed.
// Fed with request results by whoever talks to the device (a panel, the command line); knows
// nothing of windows.
class CalibrationJournal
{
public:
    CalibrationJournal(CalibrationRecord *record, const QString &model, const QString &serial,
                       const QString &firmware);

    // A write or action goes out: `setting` names it for people, `command` is the whole line.
    void beginWrite(const QString &setting, const QString &command);
    bool isWriting() const { return m_write.active; }
    // The value of the reply being handled, for a hand-over that confirms without a value.
    void setReply(const QString &value) { m_write.reply = value; }
    QString reply() const { return m_write.reply; }
    QString writtenCommand() const { return m_write.command; }
    QString writtenValue() const { return m_write.written; }
    // The reply being handled gives a setting another value than the one written.
    bool replyNotKept() const
    {
        return m_write.active && !m_write.action && !m_write.reply.isNull() && !sameValue(m_write.written, m_write.reply);
    }
    // The device's reply to the write. A setting is confirmed only when the device kept the value
    // written; an action when the device took it.
    void replyTaken(bool accepted, const QString &value);
    // Ends the write with an outcome of RecordSchema (no reply, failed write, port lost, ...).
    void endWrite(const char *outcome, const QString &confirmed = QString(),
                  const QString &details = QString());
    // The refresh after an action: its read event names the action.
    void refreshFollows() { m_write.refreshFollows = true; }

    // A refresh: the values read, then its end (only a completed refresh is recorded).
    void refreshStarted() { m_refreshValues = QJsonObject(); }
    void valueRead(const QString &word, const QString &value);
    void refreshCompleted();

    // What the device last said of a word, as it said it.
    QString lastRead(const QString &word) const { return m_lastRead.value(word); }
    // Told once when the record cannot be written; empty otherwise. Taken by the next status.
    QString takeNotice();

    // Words whose effect the refresh afterwards reads, not a value the device keeps.
    static bool isActionWord(const QString &word);
    // The device kept what was written: the same number, or the same text.
    static bool sameValue(const QString &written, const QString &confirmed);

private:
    void append(CalibrationEvent &event);

    struct Write
    {
        bool active = false;
        bool action = false;
        bool refreshFollows = false;
        QString setting;
        QString command;
        QString before;
        QString written;
        QString reply;
    };

    QPointer<CalibrationRecord> m_record;
    QString m_model;
    QString m_serial;
    QString m_firmware;
    bool m_unavailable = false;
    QString m_notice;
    Write m_write;
    QHash<QString, QString> m_lastRead;
    QJsonObject m_refreshValues;
    QString m_refreshAfter;
    QString m_refreshAfterWord;
};
