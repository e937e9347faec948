// Stability beside the live displays, and the guided calibration the panel opens.
#include "calib/calibrationdialog.h"
#include "calib/calibrator.h"
#include "calib/panelhost.h"
#include "calib/stabilityindicator.h"

#include <QLCDNumber>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Puts `extra` below `existing` where `existing` stands in its form's layout, whatever kind of
// layout that is: the forms stay as Designer made them.
void addBelow(QWidget *existing, QWidget *extra)
{
    QWidget *parent = existing->parentWidget();
    if (!parent || !parent->layout())
        return;
    auto *column = new QWidget(parent);
    column->setSizePolicy(existing->sizePolicy());
    column->setMaximumWidth(existing->maximumWidth());
    QLayoutItem *old = parent->layout()->replaceWidget(existing, column);
    if (!old) {
        delete column;
        return;
    }
    delete old;
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(existing);
    layout->addWidget(extra);
}

} // namespace

void Calibrator::addCalibrateButton()
{
    auto *refresh = findChild<QPushButton *>(QStringLiteral("pushButton_refresh"));
    if (!refresh || !m_mainWindow || !m_mainWindow->session())
        return;
    auto *calibrate = new QPushButton(tr("Calibrate…"), this);
    calibrate->setObjectName(QStringLiteral("pushButton_calibrate"));
    addBelow(refresh, calibrate);
    connect(calibrate, &QAbstractButton::clicked, this, &Calibrator::openCalibration);
}

void Calibrator::addIndicators()
{
    for (QLCDNumber *lcd : qAsConst(m_liveDisplays)) {
        if (m_indicators.contains(lcd))
            continue;
        auto *indicator = new StabilityIndicator(this);
        m_indicators.insert(lcd, indicator);
        addBelow(lcd, indicator);
    }
}

void Calibrator::resetStability()
{
    for (StabilityTracker &tracker : m_trackers)
        tracker.restart();
    for (StabilityIndicator *indicator : qAsConst(m_indicators))
        indicator->showNothing();
}

const StabilityTracker *Calibrator::liveTracker(int field) const
{
    return field >= 0 && field < m_trackers.size() ? &m_trackers.at(field) : nullptr;
}

void Calibrator::feedTrackers(const QDateTime &poll, const QStringList &fields)
{
    if (m_trackers.size() != m_liveFieldCount)
        m_trackers.resize(m_liveFieldCount);
    const double time = poll.toMSecsSinceEpoch() / 1000.0;
    for (int i = 0; i < m_trackers.size(); ++i) {
        StabilityTracker &tracker = m_trackers[i];
        tracker.addText(time, fields.value(i));
        // Without a reference the limits follow the level read.
        const StabilityDefaults::Channel *row = m_stability.findField(m_tqModel, i);
        if (tracker.figures().count > 0)
            tracker.setLimits(row ? StabilitySettings::limitsAtLevel(*row, tracker.figures().mean)
                                  : Stability::Limits{});
    }
}

void Calibrator::showField(QLCDNumber *lcd, const QStringList &fields, int field)
{
    showField(lcd, fields.value(field));
    StabilityIndicator *indicator = m_indicators.value(lcd);
    if (!indicator)
        return;
    const StabilityDefaults::Channel *row = m_stability.findField(m_tqModel, field);
    // A field without a row of limits (a raw µV value, a particle size) has no verdict to show.
    if (!row || !Cmd::number(fields.value(field)) || field >= m_trackers.size()) {
        indicator->showNothing();
        return;
    }
    indicator->showTracker(m_trackers.at(field), m_liveUnits.value(field),
                           StabilityIndicator::decimalsFor(row->resolution));
}

CalibrationDevice Calibrator::calibrationDevice() const
{
    CalibrationDevice device;
    device.model = m_tqModel;
    device.firmware = m_version;
    device.versionText = m_versionText;
    device.serial = m_serial;
    device.units = m_liveUnits;
    device.table = m_stability;
    device.record = m_mainWindow ? m_mainWindow->calibrationRecord() : nullptr;
    return device;
}

CalibrationDialog *Calibrator::openCalibration()
{
    if (!m_calibrationDialog) {
        const CalibrationDevice device = calibrationDevice();
        DeviceSession *session = m_mainWindow ? m_mainWindow->session() : nullptr;
        // The window's child, not the panel's: it outlives an unplugged panel to say so.
        m_calibrationDialog = new CalibrationDialog(device, session, window());
        connect(m_calibrationDialog, &CalibrationDialog::procedureRunning, this,
                &Calibrator::setProcedureRunning);
        connect(m_calibrationDialog, &CalibrationDialog::deviceWritten, this, &Calibrator::writeRefresh);
    }
    m_calibrationDialog->show();
    m_calibrationDialog->raise();
    m_calibrationDialog->activateWindow();
    return m_calibrationDialog;
}

void Calibrator::setProcedureRunning(bool running)
{
    m_procedureRunning = running;
    // Back as the poll left them: a running sequence gives them back when it ends.
    setInputsEnabled(!running && !m_paused);
}
