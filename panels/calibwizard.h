#pragma once

#include <QWizard>

// The calibration-parameter wizard. Finish, Cancel and Escape only report the outcome through
// almostDone(); the owner closes the wizard once the device has answered. The close button is ignored.
class CalibWizard : public QWizard
{
    Q_OBJECT

public:
    explicit CalibWizard(QWidget *parent = nullptr);
    ~CalibWizard() override;

    // Finish is reported only when the page accepts its values.
    void done(int result) override;

signals:
    void almostDone(int result);

protected:
    void closeEvent(QCloseEvent *event) override;
};
