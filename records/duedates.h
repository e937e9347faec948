#pragma once

#include <QCoreApplication>
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

// A sensor whose calibration is due: its last calibration is older than its model's interval,
// or none is recorded.
struct DueSensor
{
    QString model;
    QString serial;
    QString lastCalibrationUtc; // ISO 8601; empty when the record holds none
    QDate due;                  // last calibration + interval; invalid when none is recorded
    bool overdue = false;       // due before today (or never calibrated)
};

// Which sensors of a record (the file or the lab database) fall due. A calibration is a
// confirmed write or action that changes what the sensor reads: a write of an offset (ATCOFF…)
// or of a calibration value (ATCCAL, ATCCSP, ATCSPAN), a zero, span, drift, user or factory
// calibration (ATCCZR, ATCCSP, ATCDRFT, ATCUCAL, ATCFCAL), and any confirmed event of the guided
// calibration ("Guided calibration"). Reads, mode and unit settings and refused writes are not.
namespace DueDates {

// Months between calibrations for a model: the settings key records/interval/MODEL, else
// records/interval, else 12.
constexpr int kDefaultIntervalMonths = 12;
int intervalMonths(const QString &model);

using IntervalOf = std::function<int(const QString &model)>;
// The sensors due on or before today + withinDays, most overdue first; an empty list with
// `error` set when the record cannot be read.
QList<DueSensor> list(const QSqlDatabase &db, const QDate &today, int withinDays, const IntervalOf &interval,
                      QString *error = nullptr);
// One sensor's entry, or an invalid one (empty model) when it is not due.
DueSensor check(const QSqlDatabase &db, const QString &model, const QString &serial, const QDate &today,
                const IntervalOf &interval);
// "TQ24 SIM-1 is overdue for calibration since 2025-01-05", for the status bar and the panel.
QString text(const DueSensor &sensor);

} // namespace DueDates
