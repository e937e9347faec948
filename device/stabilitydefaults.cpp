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
        // model      ch field resolution zero slope  zero SD  dwell window timeout
        {kPmModel, 1, 0, 0.1, 0.5, 0.3, 60, 60, 600},  // pm2.5 ug/m3
        {kPmModel, 2, 1, 0.1, 0.5, 0.3, 60, 60, 600},  // pm10.0 ug/m3
        {kPmModel, 3, 2, 0.1, 0.5, 0.3, 60, 60, 600},  // pm1.0 ug/m3
        {kPmModel, 4, 3, 0.1, 0.5, 0.3, 60, 60, 600},  // pm4.0 ug/m3
        {kPmModel, 5, 4, 0.1, 0.5, 0.3, 60, 60, 600},  // pm0.5 #/cm3
        {20, 1, 0, 0.001, 0.01, 0.005, 120, 60, 900},  // TVOC ppm
        {20, 2, 1, 0.001, 0.005, 0.002, 120, 60, 900}, // CO2 %
        {21, 1, 0, 1.0, 5.0, 3.0, 60, 60, 600},        // CO2 ppm
        {21, 2, 1, 0.01, 0.05, 0.02, 60, 60, 600},     // temperature °C
        {22, 1, 0, 0.01, 0.05, 0.02, 60, 60, 600},     // O2 %
        {22, 2, 1, 0.01, 0.05, 0.02, 60, 60, 600},     // temperature °C
        {24, 1, 1, 0.1, 0.5, 0.3, 60, 60, 600},        // gas ppm
        {24, 2, 2, 0.01, 0.05, 0.02, 60, 60, 600},     // temperature °C
    };
    return rows;
}

} // namespace

QList<Channel> all()
{
    return table();
}

const Channel *find(int model, int channel)
{
    for (const Channel &row : table()) {
        if (row.model == model && row.channel == channel)
            return &row;
    }
    return nullptr;
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
