#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

// One event of the calibration record: what was read from, written to or done on one device.
// Values are texts as the device sent them; a null text is stored as NULL.
struct CalibrationEvent
{
    QString kind; // RecordSchema::kKindRead, kKindWrite, kKindAction
    QString model;
    QString serial;
    QString firmware;
    QString setting;
    QString command;
    QString valueBefore;
    QString valueWritten;
    QString valueConfirmed;
    QString outcome; // RecordSchema::kOutcome*
    QString details; // JSON text
    QDateTime time;  // when it happened; now when left invalid
};

// The append-only calibration record in an SQLite file under the user's data folder. Each append
// is committed before it returns; a file that cannot be opened or written makes append return
// false with errorString(), and nothing else stops.
class CalibrationRecord : public QObject
{
    Q_OBJECT
public:
    // How long an append waits for another copy of the tool that is writing at the same moment.
    static constexpr int kBusyTimeoutMs = 1000;

    // An empty folder means the user's data folder (QStandardPaths::AppDataLocation).
    explicit CalibrationRecord(const QString &folder = QString(), QObject *parent = nullptr);
    ~CalibrationRecord() override;

    static QString defaultFolder();
    // The program named in each event; the window's unless set.
    void setTool(const QString &tool) { m_tool = tool; }
    QString tool() const { return m_tool; }
    QString filePath() const { return m_filePath; }
    // Opens (creating the file and its table when new); called by append when needed.
    bool open();
    bool isOpen() const { return m_open; }
    bool append(const CalibrationEvent &event);
    // Why the last open or append failed, with the file and the database's own words.
    QString errorString() const { return m_error; }
    // The status text telling the user that the record is not kept (the file is in the log).
    QString unavailableMessage() const;

    // The tool's version as the record stores it.
    static QString toolVersion();
    // "TQ24", "PM": a model number as the record names it.
    static QString modelName(int tqModel);
    // An ISO 8601 time in UTC with milliseconds, and the local offset at that moment ("+09:00").
    static QString utcText(const QDateTime &time);
    static QString offsetText(const QDateTime &time);

signals:
    // An event is on disk: whoever uploads the record can send it on.
    void appended();

private:
    bool fail(const QString &what, const QString &why);

    QString m_filePath;
    QString m_connection;
    QString m_error;
    QString m_reason;
    QString m_tool;
    bool m_open = false;
};
