#pragma once

#include <QString>

#include <optional>

// How a channel is brought to a reference: the model's own calibration command where it has one
// for this reference, otherwise its offset. Pure functions, so the choice and the refusal of a
// too large correction are decided before anything is written.
namespace Adjustment {

enum class Kind
{
    Zero,     // TQ24 zero gas: "ATCCZR"
    Span,     // TQ24 span gas: "ATCCSP C"
    Co2,      // TQ21 reference CO2: "ATCCAL C"
    CleanAir, // TQ20 clean air: "ATCUCAL"
    Offset,   // any other channel: "ATCOFFn old + (reference − reading)"
};

struct Plan
{
    Kind kind = Kind::Offset;
    QString word;
    QString argument; // empty for the actions and until the old offset is known
    // Why nothing may be written; empty when the adjustment may go ahead.
    QString refusal;
};

// The largest |reference − reading| the model's channel is adjusted by, in the unit it shows (its
// default unit when empty); 0 for a channel or unit the table lacks, which is then never adjusted.
double maxCorrection(int model, int channel, const QString &unit = QString());

Plan plan(int model, int firmware, int channel, double reference, double reading,
          const QString &unit = QString());

// The offset argument: old + (reference − reading), two decimals. The device keeps offsets in the
// field's first unit; offsetScale converts the difference into it (see ModelTable::FieldUnit).
QString offsetArgument(double oldOffset, double reference, double reading, double offsetScale = 1);

// Whether the device's reply to the plan's command says it took it: a value command echoes the
// value it now holds, "ATCCZR" answers its new zero point, "ATCUCAL" answers "OK".
bool taken(const Plan &plan, const QString &replyLine);

} // namespace Adjustment
