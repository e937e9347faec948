#include "calib/calibrationpoint.h"

#include "device/modeltable.h"
#include "records/calibrationrecord.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    // The texts the single-device dialog had before it shared them: their translations stay.
    return QCoreApplication::translate("CalibrationDialog", text);
}

} // namespace

QString CalibrationDevice::unit(int channel) const
{
    const StabilityDefaults::Channel *r = row(channel);
    return r ? units.value(r->field) : QString();
}

QString CalibrationDevice::channelName(int channel) const
{
    const StabilityDefaults::Channel *r = row(channel);
    const ModelTable::Model *m = ModelTable::find(model);
    return r && m && r->field < m->live.size() ? QString::fromUtf8(m->live.at(r->field).name) : QString();
}

Stability::Limits CalibrationPoint::limits(const StabilityDefaults::Channel &row, double reference,
                                           const std::optional<CalibrationTimes> &times)
{
    Stability::Limits limits = StabilityDefaults::limits(row, reference);
    if (times) {
        limits.dwellS = times->dwellS;
        limits.windowS = times->windowS;
    }
    return limits;
}

std::optional<ProcedurePoint> CalibrationPoint::make(const CalibrationDevice &device,
                                                     const ReferenceEntry &entry,
                                                     const std::optional<CalibrationTimes> &times,
                                                     QString *why)
{
    const auto refuse = [why](const QString &text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    const StabilityDefaults::Channel *row = device.row(entry.channel);
    if (!row)
        return refuse(tr("This device has no channel to calibrate."));
    ProcedurePoint p;
    p.channel = row->channel;
    p.reference = entry.referenceValue();
    if (entry.percent && p.reference == 0) {
        return refuse(tr("A tolerance in % needs a reference other than zero: give it in %1.")
                          .arg(device.unit(entry.channel)));
    }
    p.tolerance = entry.percent ? entry.tolerance / 100.0 * qAbs(p.reference) : entry.tolerance;
    if (!(p.tolerance > 0))
        return refuse(tr("Enter a tolerance above zero."));
    p.adjustAlways = entry.adjustAlways;
    p.checkOnly = entry.checkOnly;
    p.gasExpiry = entry.expiry;
    p.askAtTimeout = true;
    p.limits = limits(*row, p.reference, times);
    p.timeoutS = times ? times->timeoutS : row->timeoutS;
    if (times)
        p.gapMs = times->gapMs;
    return p;
}

ProcedureReport CalibrationPoint::report(const CalibrationDevice &device, const Procedure &procedure,
                                         const ReferenceEntry &entry, const QStringList &lastFields)
{
    const ProcedurePoint p = procedure.point();
    const QString name = device.channelName(p.channel);
    const QString unit = device.unit(p.channel);
    ProcedureReport report = ProcedureReport::started();
    report.model = CalibrationRecord::modelName(device.model);
    report.serial = device.serial;
    report.firmware = device.versionText;
    report.method = methodName(device.model, device.firmware, p);
    ReferenceGas gas;
    gas.gas = p.reference == 0 ? QStringLiteral("zero gas") : name;
    gas.concentration = p.reference;
    gas.unit = unit;
    gas.lot = entry.lot.trimmed();
    gas.expiry = p.gasExpiry;
    if (entry.uncertainty > 0)
        gas.uncertainty = entry.uncertainty;
    report.gases.append(gas);
    report.setTemperatureFrom(device.model, lastFields);
    report.points.append(reportPoint(procedure, name, unit));
    report.conclude();
    return report;
}
