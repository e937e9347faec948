#pragma once

#include "calib/modelpanel.h"
#include "ui_tq24calibrator.h"

class CalibWizard;
class CalibrateScaler;

// Panel of the TQ24 gas model: one gas in ppm or uV and the temperature; offsets, digital filter,
// temperature unit, zero and span calibration, zero drift adjustment and the calibration-parameter
// wizard.
class Tq24Calibrator : public ModelPanel<Ui::Tq24Calibrator, 24>
{
    Q_OBJECT

public:
    Tq24Calibrator(const PanelDevice &device, QWidget *parent);

    void resetPanel() override;
    void deviceGone() override;
    void setInputsEnabled(bool enabled) override;
    void wizardClose();

    CalibWizard *wizard() const { return m_wizard; }
    // The device's zero, span and span gas are all known: read or answered since a write that may
    // have changed them.
    bool calibrationKnown() const
    {
        return m_deviceCalibration.ppm && m_deviceCalibration.zero && m_deviceCalibration.span;
    }

public slots:
    void slotWizardAlmostDone(int result);

protected:
    void showLiveValues(const QStringList &fields) override;
    void hideEvent(QHideEvent *event) override;

private:
    // The zero, span and span gas last read from the device: what the wizard starts from. A value is
    // unknown while a write may have changed it, or when its editor cannot hold it.
    struct Calibration
    {
        std::optional<double> ppm;
        std::optional<double> zero;
        std::optional<double> span;
    };

    void setSensorMode();
    ReplyHandler sensorTypeReply(bool applied);
    ReplyHandler spanReply();
    ReplyHandler zeroReply();
    ReplyHandler parametersReply();
    void applyFilter(int buttonId);
    void askZeroCalibration();
    void applySpanCalibration();
    void askDriftAdjustment();
    void openWizard();
    void writeCalibration(int id, std::function<QString()> command, const ApplyOptions &options = {});
    void forgetCalibration(int id);
    // Shows a calibration value of the device; known only if its editor holds it.
    std::optional<double> showCalibration(QDoubleSpinBox *editor, double value);
    void updateWizardButton();

    CalibWizard *m_wizard = nullptr;
    CalibrateScaler *m_wizardPage = nullptr;
    QButtonGroup *m_temperatureGroup = nullptr;
    QButtonGroup *m_filterGroup = nullptr;
    QButtonGroup *m_unitGroup = nullptr;
    int m_sensorType = 0; // ATCMODE: 0 raw, 1 filtered gas
    bool m_isMicrovolt = false;
    bool m_inputsEnabled = false;
    Calibration m_deviceCalibration;
    bool m_parametersPending = false;  // Finish pressed, its ATCCAL not yet ended
    bool m_parametersAnswered = false; // the device answered the pending ATCCAL
};
