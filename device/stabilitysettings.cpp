#include "device/stabilitysettings.h"

#include "device/devicemodels.h"

#include <QDebug>
#include <QLocale>
#include <QSettings>
#include <QtMath>

namespace StabilitySettings {

namespace {

constexpr double kDay = 86400;

std::optional<double> parse(const QVariant &value)
{
    // A list ("1,2") or a group has no single text: toString() gives it empty.
    bool ok = false;
    const double number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
    if (!ok || !qIsFinite(number))
        return std::nullopt;
    return number;
}

bool inRange(const Key &key, double value)
{
    return (key.minExclusive ? value > key.min : value >= key.min) && value <= key.max;
}

// A channel whose unit the device lets be chosen has a row per unit, each with a group of its own.
bool unitChosen(const StabilityDefaults::Channel &row)
{
    int rows = 0;
    for (const StabilityDefaults::Channel &other : StabilityDefaults::all())
        rows += other.model == row.model && other.channel == row.channel;
    return rows > 1;
}

// A unit as a settings group may name it: "/" would open a subgroup, "%" is escaped in the file.
QString unitToken(const char *unit)
{
    QString token = QString::fromUtf8(unit);
    token.replace(QLatin1Char('%'), QLatin1String("percent")).replace(QLatin1Char('/'), QLatin1Char('_'));
    return token;
}

} // namespace

QList<Key> keys()
{
    using Row = StabilityDefaults::Channel;
    return {
        {"slope_percent_per_min", &Row::slopeFraction, 100, 0, true, 100},
        {"sd_percent", &Row::sdFraction, 100, 0, true, 100},
        {"zero_slope_per_min", &Row::zeroSlope, 1, 0, true, 1e9},
        {"zero_sd", &Row::zeroSd, 1, 0, true, 1e9},
        {"dwell_s", &Row::dwellS, 1, 0, false, kDay},
        {"window_s", &Row::windowS, 1, 0, true, kDay},
        {"timeout_s", &Row::timeoutS, 1, 1, false, kDay},
    };
}

QString group(const StabilityDefaults::Channel &row)
{
    const QString name =
        QStringLiteral("stability-%1-ch%2").arg(DeviceModels::name(row.model)).arg(row.channel);
    return unitChosen(row) ? name + QLatin1Char('-') + unitToken(row.unit) : name;
}

Table::Table() : m_rows(StabilityDefaults::all()) {}

QList<StabilityDefaults::Channel> Table::rows(int model) const
{
    QList<StabilityDefaults::Channel> out;
    for (const StabilityDefaults::Channel &row : m_rows) {
        if (row.model == model)
            out.append(row);
    }
    return out;
}

const StabilityDefaults::Channel *Table::find(int model, int channel) const
{
    return StabilityDefaults::find(m_rows, model, channel);
}

const StabilityDefaults::Channel *Table::find(int model, int channel, const QString &unit) const
{
    return StabilityDefaults::find(m_rows, model, channel, unit);
}

const StabilityDefaults::Channel *Table::findField(int model, int field) const
{
    for (const StabilityDefaults::Channel &row : m_rows) {
        if (row.model == model && row.field == field)
            return &row;
    }
    return nullptr;
}

Table load(QSettings &settings)
{
    Table table;
    bool wrote = false;
    for (StabilityDefaults::Channel &row : table.m_rows) {
        settings.beginGroup(group(row));
        for (const Key &key : keys()) {
            const QString name = QLatin1String(key.name);
            double &value = row.*key.value;
            if (!settings.contains(name)) {
                // Ten digits: a percentage stored as a fraction comes back as 0.5, not 0.5000000000000001.
                settings.setValue(name, QString::number(value * key.scale, 'g', 10));
                wrote = true;
                continue;
            }
            const QVariant text = settings.value(name);
            const std::optional<double> number = parse(text);
            if (number && inRange(key, *number)) {
                value = *number / key.scale;
                continue;
            }
            // Left in the file as written: the technician may want to see what was refused.
            const QString warning = QStringLiteral("%1: %2/%3 = \"%4\" is not a number in range, %5 is used")
                                        .arg(settings.fileName(), group(row), name, text.toString())
                                        .arg(value * key.scale);
            qWarning().noquote() << warning;
            table.m_warnings.append(warning);
        }
        settings.endGroup();
    }
    if (wrote)
        settings.sync();
    return table;
}

Stability::Limits limitsAtLevel(const StabilityDefaults::Channel &row, double level)
{
    Stability::Limits scaled = StabilityDefaults::limits(row, level);
    const Stability::Limits zero = StabilityDefaults::limits(row, 0.0);
    scaled.maxSlope = qMax(scaled.maxSlope, zero.maxSlope);
    scaled.maxSd = qMax(scaled.maxSd, zero.maxSd);
    return scaled;
}

} // namespace StabilitySettings
