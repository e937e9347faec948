#pragma once

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui {
class BenchCalibrationDialog;
}
class BenchCalibration;
class DeviceHost;

// The one form of the reference gas for the devices selected on the bench, and the one "Gas
// applied" for them all: they sit in one chamber. Each device's progress is shown in its bench row.
class BenchCalibrationDialog : public QDialog
{
    Q_OBJECT
public:
    BenchCalibrationDialog(BenchCalibration *run, const QList<DeviceHost *> &hosts, bool checkOnly,
                           QWidget *parent = nullptr);
    ~BenchCalibrationDialog() override;

    // Starts the procedures with the form's reference; false with the reason shown when none starts.
    bool start();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateButtons();
    void chooseFolder();

    std::unique_ptr<Ui::BenchCalibrationDialog> ui;
    BenchCalibration *m_run;
    QList<DeviceHost *> m_hosts;
};
