#pragma once

#include "device/stability.h"

#include <QList>
#include <QString>

#include <optional>

// The stability limits a channel starts with, one row per model and channel (the README shows the
// table). Away from zero the limits follow the reference; zero gas has no reference to scale by,
// so it has limits of its own.
namespace StabilityDefaults {

// Slope limit per minute and SD limit, as fractions of the reference.
constexpr double kSlopeFraction = 0.005;
constexpr double kSdFraction = 0.0025;

struct Channel
{
    int model;
    int channel;       // 1-based; "ATCOFFn" corrects channel n
    int field;         // 0-based index of the channel in the model's live line
    const char *unit;  // the unit the row is for; a field whose unit can be chosen has a row each
    double resolution; // the smallest step the device shows, in the live field's default unit
    double zeroSlope;  // units per minute, at a reference of 0
    double zeroSd;     // units, at a reference of 0
    double dwellS;
    double windowS;
    double timeoutS; // waiting for stable gives up after this long
    // Away from zero the limits as fractions of the reference (the settings file may change them).
    double slopeFraction = kSlopeFraction;
    double sdFraction = kSdFraction;
};

QList<Channel> all();
// The row of a model's channel in its default unit, or nullptr for a channel the table lacks.
const Channel *find(int model, int channel);
// The row for the channel shown in this unit, or nullptr.
const Channel *find(int model, int channel, const QString &unit);
// The same over other rows (the settings file's): with a null unit, the channel's first row.
const Channel *find(const QList<Channel> &rows, int model, int channel, const QString &unit = QString());
// The limits for a reading against this reference; empty for a channel the table lacks.
std::optional<Stability::Limits> limits(int model, int channel, double reference);
Stability::Limits limits(const Channel &row, double reference);

} // namespace StabilityDefaults
