#include "tqcal/commands.h"

#include "records/calibrationrecord.h"
#include "records/csv.h"
#include "records/duedates.h"
#include "records/recordsdatabase.h"
#include "records/uploader.h"
#include "tqcal/console.h"
#include "tqcal/exitcode.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

namespace {

QString withWaiting(const QString &why, int waiting)
{
    return waiting > 0 ? why + QLatin1String("; ") + LabSync::waitingText(waiting) : why;
}

QString journalFile()
{
    return CalibrationRecord().filePath();
}

// The lab database when one is configured and answers, else this bench's file (told why).
int openRecords(RecordsDatabase &records)
{
    const LabTarget target = LabTarget::configured();
    if (!target.isNull()) {
        if (records.openLab(target))
            return ExitCode::Done;
        Console::message(records.errorString() + QLatin1String("; reading this bench's record only"));
    }
    if (!records.open(journalFile())) {
        Console::message(records.errorString());
        return ExitCode::NoDevice;
    }
    return ExitCode::Done;
}

int runSync()
{
    const LabTarget target = LabTarget::configured();
    if (target.isNull())
        return refuse(
            QStringLiteral("no lab database is configured: set records/url in the settings file or %1")
                .arg(QLatin1String(LabTarget::kEnvironment)));
    if (!target.isValid())
        return refuse(target.error);
    JournalUploader uploader(journalFile(), target);
    const JournalUploader::Result result = uploader.sync();
    if (!result.localError.isEmpty()) {
        Console::message(result.localError);
        return ExitCode::CheckFailed;
    }
    if (result.failure.kind != LabFailure::None) {
        Console::message(withWaiting(result.failure.message, result.waiting));
        return ExitCode::NoAnswer;
    }
    Console::data(QStringLiteral("%1 uploaded, 0 waiting").arg(result.uploaded));
    return ExitCode::Done;
}

int runDue(const Invocation &invocation)
{
    RecordsDatabase records;
    if (const int code = openRecords(records))
        return code;
    QString error;
    const QList<DueSensor> due = DueDates::list(records.database(), QDate::currentDate(),
                                                invocation.withinDays, DueDates::intervalMonths, &error);
    if (!error.isEmpty()) {
        Console::message(QStringLiteral("the records cannot be read: %1").arg(error));
        return ExitCode::NoDevice;
    }
    QStringList objects;
    for (const DueSensor &sensor : due) {
        const QString dueDate = sensor.due.isValid() ? sensor.due.toString(Qt::ISODate) : QString();
        const QString status = sensor.overdue ? QStringLiteral("overdue") : QStringLiteral("due");
        if (!invocation.json) {
            Console::data(QStringList{
                sensor.model, sensor.serial, status, dueDate.isEmpty() ? QStringLiteral("-") : dueDate,
                sensor.lastCalibrationUtc.isEmpty() ? QStringLiteral("-") : sensor.lastCalibrationUtc}
                              .join(QLatin1Char(' ')));
            continue;
        }
        JsonObjectText object;
        object.add(QStringLiteral("model"), sensor.model).add(QStringLiteral("serial"), sensor.serial);
        object.add(QStringLiteral("status"), status);
        object.add(QStringLiteral("due"), dueDate);
        object.add(QStringLiteral("last_calibration"),
                   sensor.lastCalibrationUtc.isEmpty() ? QString() : sensor.lastCalibrationUtc);
        object.addRaw(QStringLiteral("interval_months"),
                      QString::number(DueDates::intervalMonths(sensor.model)));
        objects.append(object.text());
    }
    if (invocation.json)
        Console::data(QLatin1Char('[') + objects.join(QLatin1String(", ")) + QLatin1Char(']'));
    return ExitCode::Done;
}

// Every event, or one sensor's (--serial), oldest first, as CSV or JSON lines.
int runExport(const Invocation &invocation)
{
    RecordsDatabase records;
    if (const int code = openRecords(records))
        return code;
    const bool json = invocation.json || invocation.format == QLatin1String("json");
    static const QStringList columns = {
        QStringLiteral("time_utc"),     QStringLiteral("utc_offset"),    QStringLiteral("kind"),
        QStringLiteral("model"),        QStringLiteral("serial"),        QStringLiteral("firmware"),
        QStringLiteral("tool_version"), QStringLiteral("setting"),       QStringLiteral("command"),
        QStringLiteral("value_before"), QStringLiteral("value_written"), QStringLiteral("value_confirmed"),
        QStringLiteral("outcome"),      QStringLiteral("details"),       QStringLiteral("tool"),
        QStringLiteral("uuid")};
    QSqlQuery query(records.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM events WHERE coalesce(?, '') = '' OR serial = ?"
                                 " ORDER BY time_utc, id")
                      .arg(columns.join(QLatin1String(", "))));
    query.addBindValue(invocation.serial);
    query.addBindValue(invocation.serial);
    if (!query.exec()) {
        Console::message(QStringLiteral("the records cannot be read: %1").arg(query.lastError().text()));
        return ExitCode::NoDevice;
    }
    if (!json) {
        const QByteArray head = Csv::byteOrderMark() + Csv::line(columns);
        std::fwrite(head.constData(), 1, size_t(head.size()), stdout);
    }
    while (query.next()) {
        QStringList cells;
        JsonObjectText object;
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant value = query.value(i);
            cells.append(value.toString());
            object.add(columns.at(i), value.isNull() ? QString() : value.toString());
        }
        if (json) {
            Console::data(object.text());
        } else {
            const QByteArray line = Csv::line(cells);
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        }
    }
    std::fflush(stdout);
    return ExitCode::Done;
}

} // namespace

int runRecords(const Invocation &invocation)
{
    const QString what = invocation.words.at(0);
    if (what == QLatin1String("sync"))
        return runSync();
    if (what == QLatin1String("due"))
        return runDue(invocation);
    if (what == QLatin1String("export"))
        return runExport(invocation);
    return refuse(QStringLiteral("records wants sync, due or export, not \"%1\"").arg(what));
}

void uploadAfterCommand()
{
    const LabTarget target = LabTarget::configured();
    if (target.isNull())
        return;
    if (!target.isValid()) {
        Console::message(target.error);
        return;
    }
    JournalUploader uploader(journalFile(), target);
    const JournalUploader::Result result = uploader.sync();
    // The event is in this bench's file: a lab database that is away is told, never a failure.
    if (!result.ok())
        Console::message(withWaiting(result.localError.isEmpty() ? result.failure.message : result.localError,
                                     result.waiting));
}
