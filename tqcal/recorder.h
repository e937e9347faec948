#pragma once

#include "device/devicesession.h"
#include "records/calibrationjournal.h"
#include "records/calibrationrecord.h"

// The window's calibration record, fed through the same journal as the panels, with tqcal as the
// tool. A record that cannot be written is told once and the command goes on, as in the window.
class Recorder
{
public:
    explicit Recorder(const DeviceIdentity &id);
    ~Recorder();
    CalibrationJournal &journal() { return m_journal; }
    // An event of the device's that the journal has no step for (a whole procedure), with the
    // device's model, serial and firmware filled in.
    void append(CalibrationEvent event);

private:
    DeviceIdentity m_id;
    CalibrationRecord m_record;
    CalibrationJournal m_journal;
    bool m_told = false;
};
