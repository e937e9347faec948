#pragma once

#include <QCoreApplication>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>

#include <memory>

class LabStore;
struct LabTarget;

// One row of the calibration record, as the readers use it.
struct RecordEvent
{
    QString timeUtc;   // ISO 8601, "Z"
    QString utcOffset; // "+09:00"
    QString kind;
    QString model;
    QString serial;
    QString firmware;
    QString toolVersion;
    QString setting;
    QString command;
    QString valueBefore;
    QString valueWritten;
    QString valueConfirmed;
    QString outcome;
    QString details; // JSON
};

// A recorded device: how the record names it.
struct RecordedDevice
{
    QString model;
    QString serial;
    bool operator==(const RecordedDevice &other) const
    {
        return model == other.model && serial == other.serial;
    }
};

// Read access to the calibration record file: where it is, which devices it holds, and their
// events. Never writes to it.
class RecordsDatabase
{
    Q_DECLARE_TR_FUNCTIONS(RecordsDatabase)

public:
    RecordsDatabase();
    ~RecordsDatabase();
    RecordsDatabase(const RecordsDatabase &) = delete;
    RecordsDatabase &operator=(const RecordsDatabase &) = delete;

    // Opens the file at `path`; false (see errorString) when it does not exist, cannot be read or
    // was written by a newer version of the tool.
    bool open(const QString &path);
    // Reads the lab database instead: every bench's events. False (see errorString) when it
    // cannot be reached; the caller may fall back on the file.
    bool openLab(const LabTarget &target);
    bool isLab() const { return m_lab != nullptr; }
    bool isOpen() const;
    QSqlDatabase database() const;
    QString errorString() const { return m_error; }

    QList<RecordedDevice> devices() const;
    // The device's events up to `toUtc` (exclusive, empty for all), oldest first.
    QList<RecordEvent> events(const RecordedDevice &device, const QString &toUtc = {}) const;
    // The time of the device's first event, or an empty text.
    QString firstEventTime(const RecordedDevice &device) const;

private:
    QString m_connection;
    QString m_error;
    std::unique_ptr<LabStore> m_lab;
};
