#pragma once

#include <QWizardPage>

namespace Ui {
class CalibrateScaler;
}
class QDoubleSpinBox;

// The page of the calibration wizard: zero and span in uV and the calibration gas in ppm, as the
// technician knows them. Refuses values the device cannot calibrate with.
class CalibrateScaler : public QWizardPage
{
    Q_OBJECT

public:
    CalibrateScaler(double zero, double span, double ppm, QWidget *parent = nullptr);
    ~CalibrateScaler() override;

    double zero() const;
    double span() const;
    double ppm() const;
    // "ppm,zero,span" exactly as the editors show them, without trailing zeros or exponent.
    QString parametersText() const;
    // The editor's value as it shows it: its decimals, trailing zeros dropped, never an exponent.
    static QString shownValue(const QDoubleSpinBox *editor);

    // A gas of no concentration, or a span equal to the zero (the device divides by their
    // difference), is refused with a message on the page.
    bool validatePage() override;

private:
    Ui::CalibrateScaler *ui;
};
