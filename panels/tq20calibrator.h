#pragma once

#include "calib/modelpanel.h"
#include "ui_tq20calibrator.h"

// Panel of the TQ20 TVOC sensor: TVOC with absolute humidity or with CO2, its offsets, units,
// sensitivity and calibrations, each shown only on the firmware that has it.
class Tq20Calibrator : public ModelPanel<Ui::Tq20Calibrator, 20>
{
    Q_OBJECT

public:
    enum SensorType
    {
        NotRead = 0,
        TvocHumidity = 1,
        TvocCo2 = 2
    };
    // Units as the radio buttons count them; the device's codes depend on the firmware.
    enum VocUnit
    {
        VocPpm = 0,
        VocPpb = 1
    };
    enum Co2Unit
    {
        Co2Percent = 0,
        Co2Ppm = 1
    };
    // Firmware from 12 counts unit codes from 0, has sensitivity and calibration time and no longer
    // the calibrations; from 32 it also counts its hours and tells its build time.
    static constexpr int kNewFirmware = 12;
    static constexpr int kCountingFirmware = 32;

    Tq20Calibrator(const PanelDevice &device, QWidget *parent);

    void resetPanel() override;
    void setSensorMode();

    int sensorType() const { return m_sensorType; }

private:
    ReplyHandler sensorModeReply(const char *logPrefix);
    ReplyHandler chartAfreshOnChange(ReplyHandler handler, const int *setting);
    void showVocUnit();
    // Checks the group's button `id`; with no such button (a value the panel cannot show) none.
    static void showChoice(QButtonGroup *group, int id);
    void writeSensorMode(int sensorType);
    void writeUnit(int id, int unit);
    // Old firmware counts unit codes from 1, newer from 0.
    int unitCode(int unit) const { return unit + (m_version < kNewFirmware ? 1 : 0); }
    void askFactoryCalibration();

    QButtonGroup *m_sensorGroup = nullptr;
    QButtonGroup *m_vocUnitGroup = nullptr;
    QButtonGroup *m_co2UnitGroup = nullptr;
    int m_sensorType = NotRead;
    int m_vocUnit = VocPpm;
    int m_co2Unit = Co2Ppm;
};
