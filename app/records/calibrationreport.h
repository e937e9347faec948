#pragma once

#include "records/recordsdatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

// A calibration report built from a device's recorded events: identity, period, technician, the
// as-found and as-left value of every setting written in the period, the actions and their outcomes,
// and pictures of the trend charts. Writes it as HTML and as PDF.
class CalibrationReport
{
    Q_DECLARE_TR_FUNCTIONS(CalibrationReport)

public:
    // One setting written in the period.
    struct SettingChange
    {
        QString setting;
        QString command;
        QString asFound; // before its first write in the period
        QString asLeft;  // the last value the device confirmed; empty when none was
        int writes = 0;
    };

    // `events`: the device's events oldest first, including those before the period (a read before
    // the first write tells the as-found value); the period is [from, to) in UTC.
    CalibrationReport(const RecordedDevice &device, const QList<RecordEvent> &events, const QDateTime &from,
                      const QDateTime &to, const QString &technician);

    void setChartImages(const QList<QImage> &images) { m_charts = images; }
    QList<SettingChange> settingChanges() const { return m_changes; }
    QList<RecordEvent> actions() const { return m_actions; }

    // With `embedImages` the charts are inside the file (data URLs); otherwise they are named
    // "chart1.png", "chart2.png" for a document that holds them as resources.
    QString html(bool embedImages = true) const;
    bool writeHtml(const QString &path, QString *error) const;
    bool writePdf(const QString &path, QString *error) const;

    // "2026-12-07 09:01:02 +09:00": the event's local time as it was recorded.
    static QString localTime(const RecordEvent &event);

private:
    RecordedDevice m_device;
    QString m_firmware;
    QStringList m_toolVersions;
    QDateTime m_from;
    QDateTime m_to;
    QString m_technician;
    QList<SettingChange> m_changes;
    QList<RecordEvent> m_actions;
    QList<QImage> m_charts;
};
