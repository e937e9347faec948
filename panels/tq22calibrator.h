#pragma once

#include "calib/modelpanel.h"
#include "ui_tq22calibrator.h"

// Panel of the TQ22 O2 sensor: its sensor type decides whether channel 2 is temperature or
// atmospheric pressure and the units of both channels; offsets and the temperature unit.
class Tq22Calibrator : public ModelPanel<Ui::Tq22Calibrator, 22>
{
    Q_OBJECT

public:
    Tq22Calibrator(const PanelDevice &device, QWidget *parent);

    void resetPanel() override;

private:
    // Titles, units, suffixes and buttons of the sensor type and temperature unit in force.
    void setSensorMode();
    ReplyHandler sensorTypeReply(bool applied);
    void applySensorType(int buttonId);

    QButtonGroup *m_sensorGroup = nullptr;
    int m_sensorType = 0; // 1 to 4 once the device has said
};
