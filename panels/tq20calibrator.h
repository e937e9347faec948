#pragma once

#include "calib/modelpanel.h"
#include "ui_tq20calibrator.h"

// Panel of the TQ20 TVOC sensor: TVOC with absolute humidity or with CO2, its offsets, units,
// sensitivity and calibrations, each shown only on the firmware that has it.
class Tq20Calibrator : public ModelPanel<Ui::Tq20Calibrator, 20>
{
    Q_OBJECT

public:
    Tq20Calibrator(const PanelDevice &device, QWidget *parent);

    void resetPanel() override;

private:
    void setSensorMode();
    ReplyHandler sensorModeReply(const char *logPrefix);
    ReplyHandler chartAfreshOnChange(ReplyHandler handler, const int *setting);
    void showVocUnit();
    // Checks the group's button `id`; with no such button (a value the panel cannot show) none.
    static void showChoice(QButtonGroup *group, int id);
    void writeSensorMode(int sensorType);
    void writeUnit(int id, int unit);
    int unitCode(int unit) const;
    void askFactoryCalibration();

    QButtonGroup *m_sensorGroup = nullptr;
    QButtonGroup *m_vocUnitGroup = nullptr;
    QButtonGroup *m_co2UnitGroup = nullptr;
    int m_sensorType = 0; // ATCMODE once read: 1 TVOC and humidity, 2 TVOC and CO2
    int m_vocUnit = 0;    // as the radio buttons count them: ppm, ppb
    int m_co2Unit = 1;    // %, ppm
};
