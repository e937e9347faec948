#pragma once

#include "calib/modelpanel.h"
#include "ui_tq21calibrator.h"

// Panel of the TQ21 CO2 sensor with temperature: offsets, CO2 calibration value, barometric
// pressure, digital filter, CO2 and temperature units; older firmware has fewer settings.
class Tq21Calibrator : public ModelPanel<Ui::Tq21Calibrator, 21>
{
    Q_OBJECT

public:
    // Firmware from which the device has filter, barometer, version info and calibration time, and
    // counts the CO2 unit codes from 0 (percent 0, ppm 1; older firmware 1 and 2).
    static constexpr int kFilterFirmware = 10;
    // Firmware from which it reports hours of use and build time.
    static constexpr int kUsedHoursFirmware = 15;
    enum Co2Unit
    {
        UnknownUnit = -1,
        Percent = 0,
        Ppm = 1
    };

    Tq21Calibrator(const PanelDevice &device, QWidget *parent);

    void resetPanel() override;
    // Shows the unit choices and the boxes this firmware has.
    void updateUnits();

    int co2Unit() const { return m_co2Unit; }

private:
    int percentCode() const { return m_version < kFilterFirmware ? 1 : 0; }
    void applyCo2Unit(int buttonId);

    QButtonGroup *m_co2UnitGroup = nullptr;
    int m_co2Unit = UnknownUnit;
};
