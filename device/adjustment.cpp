#include "device/adjustment.h"

#include "device/commandset.h"
#include "device/devicemodels.h"
#include "device/modeltable.h"

#include <QList>
#include <QtMath>

namespace Adjustment {

namespace {

struct Limit
{
    int model;
    int channel;
    const char *unit; // the first row of a channel is its default unit
    double maxCorrection;
};

// A sensor that reads this far off is faulty or in the wrong gas; adjusting would hide it.
const QList<Limit> &limits()
{
    static const QList<Limit> rows = {
        {kPmModel, 1, "ug/m3", 10.0},
        {kPmModel, 2, "ug/m3", 10.0},
        {kPmModel, 3, "ug/m3", 10.0},
        {kPmModel, 4, "ug/m3", 10.0},
        {kPmModel, 5, "#/cm3", 10.0},
        {20, 1, "ppm", 0.5},
        {20, 1, "ppb", 500.0},
        {20, 2, "ppm", 1000.0},
        {20, 2, "%", 0.1},
        {20, 2, "g/m3", 2.0},
        {21, 1, "ppm", 200.0},
        {21, 2, "\u00B0C", 2.0},
        {22, 1, "%", 1.0},
        {22, 2, "\u00B0C", 2.0},
        {24, 1, "ppm", 50.0},
        {24, 2, "\u00B0C", 2.0},
    };
    return rows;
}

bool hasSetting(int model, int firmware, const char *word)
{
    const ModelTable::Setting *s = ModelTable::setting(model, firmware, QLatin1String(word));
    return s && s->writable;
}

} // namespace

double maxCorrection(int model, int channel, const QString &unit)
{
    for (const Limit &l : limits()) {
        if (l.model == model && l.channel == channel && (unit.isEmpty() || unit == QString::fromUtf8(l.unit)))
            return l.maxCorrection;
    }
    return 0;
}

Plan plan(int model, int firmware, int channel, double reference, double reading, const QString &unit)
{
    Plan p;
    if (model == 24 && channel == 1 && reference == 0 && ModelTable::action(model, firmware, "ATCCZR")) {
        p = {Kind::Zero, QStringLiteral("ATCCZR"), QString(), QString()};
    } else if (model == 24 && channel == 1 && reference > 0 && hasSetting(model, firmware, "ATCCSP")) {
        p = {Kind::Span, QStringLiteral("ATCCSP"), Cmd::decimal2(reference), QString()};
    } else if (model == 21 && channel == 1 && reference > 0 && hasSetting(model, firmware, "ATCCAL")) {
        p = {Kind::Co2, QStringLiteral("ATCCAL"), Cmd::decimal2(reference), QString()};
    } else if (model == 20 && channel == 1 && reference == 0 &&
               ModelTable::action(model, firmware, "ATCUCAL")) {
        p = {Kind::CleanAir, QStringLiteral("ATCUCAL"), QString(), QString()};
    } else {
        p.word = QStringLiteral("ATCOFF%1").arg(channel);
        if (!hasSetting(model, firmware, p.word.toLatin1().constData()))
            p.refusal = QStringLiteral("%1 has no %2").arg(DeviceModels::name(model), p.word);
    }
    const double max = maxCorrection(model, channel, unit);
    const double correction = reference - reading;
    if (p.refusal.isEmpty() && !(qAbs(correction) <= max)) {
        p.refusal = QStringLiteral("the correction %1 exceeds the maximum %2")
                        .arg(QString::number(correction), QString::number(max));
    }
    return p;
}

QString offsetArgument(double oldOffset, double reference, double reading, double offsetScale)
{
    return Cmd::decimal2(oldOffset + (reference - reading) * offsetScale);
}

bool taken(const Plan &plan, const QString &replyLine)
{
    const QString value = Cmd::replyValue(replyLine, plan.word).trimmed();
    switch (plan.kind) {
    case Kind::CleanAir:
        return replyLine.contains(QLatin1String("OK"));
    case Kind::Zero:
        return Cmd::number(value.section(QLatin1Char(','), 0, 0).trimmed()).has_value();
    default: {
        // The first field is the value the device now holds; a refused write shows the old one.
        const std::optional<double> held = Cmd::number(value.section(QLatin1Char(','), 0, 0).trimmed());
        const std::optional<double> wanted = Cmd::number(plan.argument);
        return held && wanted && qAbs(*held - *wanted) < 0.005;
    }
    }
}

} // namespace Adjustment
