#include "records/duedates.h"

#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

// Portable between SQLite and PostgreSQL: the same query serves the file and the lab database.
const char *const kLastCalibration =
    "SELECT model, serial, MAX(CASE WHEN (outcome = 'confirmed' AND kind IN ('write', 'action') AND ("
    "  command LIKE 'ATCOFF%' OR"
    "  command IN ('ATCCAL', 'ATCCSP', 'ATCSPAN', 'ATCCZR', 'ATCDRFT', 'ATCUCAL', 'ATCFCAL')))"
    " OR (setting = 'Guided calibration' AND outcome = 'pass')" // a guided calibration that passed
    " THEN time_utc END) FROM events %1 GROUP BY model, serial";

DueSensor entry(const QString &model, const QString &serial, const QString &last, const QDate &today,
                int withinDays, const DueDates::IntervalOf &interval)
{
    DueSensor sensor{model, serial, last, {}, true};
    if (!last.isEmpty()) {
        const QDateTime time = QDateTime::fromString(last, Qt::ISODateWithMs);
        sensor.due = time.toUTC().date().addMonths(interval(model));
        sensor.overdue = sensor.due < today;
        if (sensor.due > today.addDays(withinDays))
            return {};
    }
    return sensor;
}

} // namespace

int DueDates::intervalMonths(const QString &model)
{
    const QSettings settings;
    const int fallback = settings.value(QStringLiteral("records/interval"), kDefaultIntervalMonths).toInt();
    const int months = settings.value(QStringLiteral("records/interval/") + model, fallback).toInt();
    return months > 0 ? months : kDefaultIntervalMonths;
}

QList<DueSensor> DueDates::list(const QSqlDatabase &db, const QDate &today, int withinDays,
                                const IntervalOf &interval, QString *error)
{
    QList<DueSensor> due;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QString::fromLatin1(kLastCalibration).arg(QString()))) {
        if (error)
            *error = query.lastError().text();
        return due;
    }
    while (query.next()) {
        const DueSensor sensor = entry(query.value(0).toString(), query.value(1).toString(),
                                       query.value(2).toString(), today, withinDays, interval);
        if (!sensor.model.isEmpty())
            due.append(sensor);
    }
    // Never calibrated first, then the oldest due date.
    std::stable_sort(due.begin(), due.end(), [](const DueSensor &a, const DueSensor &b) {
        if (a.due.isValid() != b.due.isValid())
            return !a.due.isValid();
        return a.due < b.due;
    });
    return due;
}

DueSensor DueDates::check(const QSqlDatabase &db, const QString &model, const QString &serial,
                          const QDate &today, const IntervalOf &interval)
{
    QSqlQuery query(db);
    query.prepare(
        QString::fromLatin1(kLastCalibration).arg(QStringLiteral("WHERE model = ? AND serial = ?")));
    query.addBindValue(model);
    query.addBindValue(serial);
    if (!query.exec() || !query.next())
        return {};
    return entry(model, serial, query.value(2).toString(), today, 0, interval);
}

QString DueDates::text(const DueSensor &sensor)
{
    if (!sensor.due.isValid())
        return QCoreApplication::translate("DueDates", "%1 %2 has no calibration on record")
            .arg(sensor.model, sensor.serial);
    const QString date = sensor.due.toString(Qt::ISODate);
    return sensor.overdue
               ? QCoreApplication::translate("DueDates", "%1 %2 is overdue for calibration since %3")
                     .arg(sensor.model, sensor.serial, date)
               : QCoreApplication::translate("DueDates", "%1 %2 is due for calibration on %3")
                     .arg(sensor.model, sensor.serial, date);
}
