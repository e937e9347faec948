#pragma once

#include "device/procedure.h"
#include "device/stabilitysettings.h"
#include "records/procedurereport.h"

#include <QDate>
#include <QStringList>

#include <optional>

class CalibrationRecord;

// What a guided calibration needs of one device beyond its session: the single-device dialog and
// the bench's calibration of several devices fill it from the device's panel.
struct CalibrationDevice
{
    int model = 0;
    int firmware = 0;
    QString versionText;
    QString serial;
    QStringList units; // each live field's unit as the device now sends it
    StabilitySettings::Table table;
    CalibrationRecord *record = nullptr; // where each procedure is recorded; none when null

    const StabilityDefaults::Channel *row(int channel) const { return table.find(model, channel); }
    // The unit the channel's live field shows now; empty for a channel the device lacks.
    QString unit(int channel) const;
    // The channel's live field as the model table names it ("CO2"); empty when unknown.
    QString channelName(int channel) const;
};

// Quicker times than the table's for every channel (demonstrations, tests).
struct CalibrationTimes
{
    double dwellS;
    double windowS;
    double timeoutS;
    int gapMs = DeviceRequest::kGapMs;
};

// The reference gas as the technician enters it, once for any number of devices.
struct ReferenceEntry
{
    int channel = 1;
    bool zero = false;
    double reference = 0;
    double tolerance = 0;
    bool percent = false; // the tolerance is a percentage of the reference
    bool adjustAlways = false;
    bool checkOnly = false;
    QString lot;
    QDate expiry;
    double uncertainty = 0; // none when 0

    double referenceValue() const { return zero ? 0.0 : reference; }
};

namespace CalibrationPoint {

// The point for one device; empty with the reason when the entry does not make one for it.
std::optional<ProcedurePoint> make(const CalibrationDevice &device, const ReferenceEntry &entry,
                                   const std::optional<CalibrationTimes> &times, QString *why = nullptr);
// The stability limits of a channel for this reference, with the quicker times when given.
Stability::Limits limits(const StabilityDefaults::Channel &row, double reference,
                         const std::optional<CalibrationTimes> &times);
// The record of an ended procedure: every one is kept, a refused or aborted one too.
ProcedureReport report(const CalibrationDevice &device, const Procedure &procedure,
                       const ReferenceEntry &entry, const QStringList &lastFields);

} // namespace CalibrationPoint
