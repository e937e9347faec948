#pragma once

#include "calib/calibrationpoint.h"
#include "device/procedure.h"
#include "device/stability.h"
#include "device/stabilitysettings.h"
#include "records/procedurereport.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>

namespace Ui {
class CalibrationDialog;
}
class CalibrationRecord;
class DeviceSession;
struct LiveSample;

// The guided calibration of one point for any model: the technician enters the reference and its
// gas, applies it, and the dialog shows the live value against the reference, how settled it is
// and the procedure's step until PASS or FAIL. The model's specifics come from the device layer's
// tables and Procedure. It never blocks: the device goes on being read and the panel shows it.
class CalibrationDialog : public QDialog
{
    Q_OBJECT
public:
    using Device = CalibrationDevice;
    using Times = CalibrationTimes;

    CalibrationDialog(const Device &device, DeviceSession *session, QWidget *parent = nullptr);
    ~CalibrationDialog() override;

    Procedure *procedure() const { return m_procedure; }
    // The last procedure as the record keeps it; empty before one has ended.
    std::optional<ProcedureReport> report() const { return m_report; }
    // Writes the certificate of the last procedure; false with the reason shown when it cannot.
    bool saveCertificate(const QString &path);
    // The point as entered; empty with the reason when the inputs do not make one.
    std::optional<ProcedurePoint> point(QString *why = nullptr) const;
    void setTimes(const Times &times);
    // The device was closed under the dialog (unplugged, or the window let it go), for `why`.
    void deviceGone(const QString &why = QString());

signals:
    // A procedure started (true) or ended (false): the panel keeps its own writes back meanwhile.
    void procedureRunning(bool running);
    // A procedure ended after writing to the device: what the panel shows may be out of date.
    void deviceWritten();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    const StabilityDefaults::Channel *currentRow() const;
    QString unit() const;
    void channelChanged();
    void inputsChanged();
    void start();
    void onSample(const LiveSample &sample);
    void onStep(Procedure::Step step);
    void onFinished(Procedure::Step step);
    void showReading();
    void showStability(const StabilityTracker &tracker);
    void updateButtons();
    QString number(double value, bool sign = false) const;
    QString stepText(Procedure::Step step) const;
    QString readingText(const QString &title, const ProcedureReading &reading) const;
    QString resultText() const;
    ReferenceEntry entry() const;
    void record();
    void chooseCertificate();

    std::unique_ptr<Ui::CalibrationDialog> ui;
    Device m_device;
    QPointer<DeviceSession> m_session;
    QPointer<Procedure> m_procedure;
    // Before and between procedures the reading is judged here, against the reference entered.
    StabilityTracker m_preview;
    std::optional<double> m_live;
    QStringList m_lastFields; // the latest live line, for the temperature the report keeps
    std::optional<ProcedureReport> m_report;
    QElapsedTimer m_waiting; // since the current wait for stable began
    bool m_deviceGone = false;
    std::optional<Times> m_times;
};
