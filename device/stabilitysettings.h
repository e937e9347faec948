#pragma once

#include "device/stabilitydefaults.h"

#include <QList>
#include <QString>
#include <QStringList>

class QSettings;

// The stability defaults as a technician keeps them: one group per model and channel in the
// settings file ("stability-TQ24-ch1"), each limit under its own key. Missing keys are written with
// the built-in values, so the file shows what can be changed. A value that is no number, not
// finite or outside its range is ignored with a warning and the built-in one stays.
namespace StabilitySettings {

struct Key
{
    const char *name;
    double StabilityDefaults::Channel::*value;
    double scale;      // the file's number over the row's (percentages are kept as fractions)
    double min;        // lowest value taken, in the file's terms
    bool minExclusive; // the lowest value itself is refused (a limit of 0 is never met)
    double max;
};

// The keys of a channel's group, in the order they are written.
QList<Key> keys();
// "stability-TQ24-ch1"; "stability-TQ20-ch2-percent" where the channel's unit can be chosen.
QString group(const StabilityDefaults::Channel &row);

class Table
{
public:
    // The built-in table.
    Table();
    explicit Table(const QList<StabilityDefaults::Channel> &rows) : m_rows(rows) {}

    QList<StabilityDefaults::Channel> rows() const { return m_rows; }
    // The rows of one model, by channel.
    QList<StabilityDefaults::Channel> rows(int model) const;
    const StabilityDefaults::Channel *find(int model, int channel) const;
    // The row for the channel shown in this unit, or nullptr.
    const StabilityDefaults::Channel *find(int model, int channel, const QString &unit) const;
    // The row of the channel a live field carries, or nullptr.
    const StabilityDefaults::Channel *findField(int model, int field) const;
    // Why values in the file were ignored, one line each.
    QStringList warnings() const { return m_warnings; }

private:
    friend Table load(QSettings &settings);
    QList<StabilityDefaults::Channel> m_rows;
    QStringList m_warnings;
};

// The table with the file's values in place of the built-in ones; writes what is missing.
Table load(QSettings &settings);

// Limits for a level read without a reference (the panels' indicator): scaled to the level like a
// reference, but never tighter than the zero-gas limits, so a reading near zero can settle.
Stability::Limits limitsAtLevel(const StabilityDefaults::Channel &row, double level);

} // namespace StabilitySettings
