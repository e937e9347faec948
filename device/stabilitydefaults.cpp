#include "device/stabilitydefaults.h"

#include "device/devicemodels.h"

#include <QtMath>

namespace StabilityDefaults {

namespace {

// Times in seconds. TQ20's metal-oxide TVOC sensor settles slower than the optical and
// electrochemical ones, so it dwells longer.
const QList<Channel> &table()
{
    static const QList<Channel> rows = {
        // model   ch field unit  resolution zero slope zero SD dwell window timeout
        {kPmModel, 1, 0, "ug/m3", 0.1, 0.5, 0.3, 60, 60, 600}, // pm2.5
        {kPmModel, 2, 1, "ug/m3", 0.1, 0.5, 0.3, 60, 60, 600}, // pm10.0
        {kPmModel, 3, 2, "ug/m3", 0.1, 0.5, 0.3, 60, 60, 600}, // pm1.0
        {kPmModel, 4, 3, "ug/m3", 0.1, 0.5, 0.3, 60, 60, 600}, // pm4.0
        {kPmModel, 5, 4, "#/cm3", 0.1, 0.5, 0.3, 60, 60, 600}, // pm0.5
        {20, 1, 0, "ppm", 0.001, 0.01, 0.005, 120, 60, 900},   // TVOC
        {20, 1, 0, "ppb", 1.0, 10.0, 5.0, 120, 60, 900},       // TVOC
        {20, 2, 1, "ppm", 1.0, 5.0, 3.0, 120, 60, 900},        // CO2
        {20, 2, 1, "%", 0.001, 0.005, 0.002, 120, 60, 900},    // CO2
        {20, 2, 1, "g/m3", 0.01, 0.05, 0.02, 120, 60, 900},    // absolute humidity
        {21, 1, 0, "ppm", 1.0, 5.0, 3.0, 60, 60, 600},         // CO2
        {21, 2, 1, "\u00B0C", 0.01, 0.05, 0.02, 60, 60, 600},  // temperature
        {22, 1, 0, "%", 0.01, 0.05, 0.02, 60, 60, 600},        // O2
        {22, 2, 1, "\u00B0C", 0.01, 0.05, 0.02, 60, 60, 600},  // temperature
        {24, 1, 1, "ppm", 0.1, 0.5, 0.3, 60, 60, 600},         // gas
        {24, 2, 2, "\u00B0C", 0.01, 0.05, 0.02, 60, 60, 600},  // temperature
    };
    return rows;
}

} // namespace

QList<Channel> all()
{
    return table();
}

const Channel *find(const QList<Channel> &rows, int model, int channel, const QString &unit)
{
    for (const Channel &row : rows) {
        if (row.model == model && row.channel == channel &&
            (unit.isNull() || unit == QString::fromUtf8(row.unit)))
            return &row;
    }
    return nullptr;
}

const Channel *find(int model, int channel)
{
    return find(table(), model, channel);
}

const Channel *find(int model, int channel, const QString &unit)
{
    return find(table(), model, channel, unit);
}

Stability::Limits limits(const Channel &row, double reference)
{
    Stability::Limits l;
    l.dwellS = row.dwellS;
    l.windowS = row.windowS;
    if (reference == 0) {
        l.maxSlope = qMax(row.zeroSlope, row.resolution);
        l.maxSd = qMax(row.zeroSd, row.resolution);
    } else {
        // A limit under the resolution could never be met by a reading that flickers by one step.
        l.maxSlope = qMax(row.slopeFraction * qAbs(reference), row.resolution);
        l.maxSd = qMax(row.sdFraction * qAbs(reference), row.resolution);
    }
    return l;
}

std::optional<Stability::Limits> limits(int model, int channel, double reference)
{
    if (const Channel *row = find(model, channel))
        return limits(*row, reference);
    return std::nullopt;
}

} // namespace StabilityDefaults
