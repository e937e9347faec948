#include "calib/calibrationdialog.h"

#include "calib/referenceform.h"
#include "calib/stabilityindicator.h"
#include "device/commandset.h"
#include "device/devicemodels.h"
#include "device/devicesession.h"
#include "device/modeltable.h"
#include "records/calibrationrecord.h"
#include "records/certificate.h"
#include "ui_calibrationdialog.h"
#include "widgets/decimalinput.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QtMath>

namespace {

const char *const kWithinStyle = "color: rgb(46, 139, 87);";
const char *const kOutsideStyle = "color: rgb(190, 30, 30);";

bool isWaiting(Procedure::Step step)
{
    return step == Procedure::Step::WaitingForStable || step == Procedure::Step::WaitingAfterAdjust;
}

} // namespace

CalibrationDialog::CalibrationDialog(const Device &device, DeviceSession *session, QWidget *parent)
    : QDialog(parent), ui(new Ui::CalibrationDialog), m_device(device), m_session(session)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("Calibrate %1 %2").arg(device.versionText, device.serial));
    const ModelTable::Model *model = ModelTable::find(device.model);
    for (const StabilityDefaults::Channel &row : device.table.rows(device.model)) {
        const QString name = model && row.field < model->live.size()
                                 ? QString::fromUtf8(model->live.at(row.field).name)
                                 : tr("field %1").arg(row.field + 1);
        ui->comboBox_channel->addItem(tr("%1: %2").arg(row.channel).arg(name), row.channel);
    }
    ui->comboBox_tolerance_unit->addItems({QString(), tr("% of reference")});
    ui->dateEdit_expiry->setDate(QDate::currentDate().addYears(1));
    ui->doubleSpinBox_uncertainty->setSpecialValueText(tr("none"));
    for (QAbstractSpinBox *editor : findChildren<QAbstractSpinBox *>())
        acceptAnyDecimalSeparator(editor);
    QFont large = ui->label_live->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    for (QLabel *label : {ui->label_live, ui->label_reference, ui->label_difference})
        label->setFont(large);
    ui->progressBar_stable->setFormat(tr("%p% toward stable"));

    connect(ui->comboBox_channel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CalibrationDialog::channelChanged);
    connect(ui->checkBox_zero, &QCheckBox::toggled, this, &CalibrationDialog::inputsChanged);
    connect(ui->doubleSpinBox_reference, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &CalibrationDialog::inputsChanged);
    connect(ui->doubleSpinBox_tolerance, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &CalibrationDialog::inputsChanged);
    connect(ui->comboBox_tolerance_unit, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CalibrationDialog::inputsChanged);
    connect(ui->pushButton_start, &QAbstractButton::clicked, this, &CalibrationDialog::start);
    connect(ui->pushButton_applied, &QAbstractButton::clicked, this, [this] {
        if (m_procedure)
            m_procedure->gasApplied();
    });
    connect(ui->pushButton_accept, &QAbstractButton::clicked, this, [this] {
        if (m_procedure)
            m_procedure->acceptReading();
    });
    connect(ui->pushButton_abort, &QAbstractButton::clicked, this, [this] {
        if (m_procedure)
            m_procedure->abort();
    });
    connect(ui->pushButton_close, &QAbstractButton::clicked, this, &QWidget::close);
    connect(ui->pushButton_certificate, &QAbstractButton::clicked, this,
            &CalibrationDialog::chooseCertificate);
    if (m_session) {
        connect(m_session, &DeviceSession::liveSample, this, &CalibrationDialog::onSample);
        connect(m_session, &DeviceSession::lost, this, &CalibrationDialog::deviceGone);
    }
    channelChanged();
    ui->label_step->setText(stepText(Procedure::Step::Idle));
}

CalibrationDialog::~CalibrationDialog()
{
    // Closed with the window: nothing more is written, and the panel gets its inputs back.
    if (m_procedure && !m_procedure->isFinished())
        m_procedure->abort();
}

void CalibrationDialog::setTimes(const Times &times)
{
    m_times = times;
    inputsChanged();
}

const StabilityDefaults::Channel *CalibrationDialog::currentRow() const
{
    return m_device.table.find(m_device.model, ui->comboBox_channel->currentData().toInt());
}

QString CalibrationDialog::unit() const
{
    return m_device.unit(ui->comboBox_channel->currentData().toInt());
}

void CalibrationDialog::channelChanged()
{
    const StabilityDefaults::Channel *row = currentRow();
    // As many decimals as the device shows: a TVOC reference of 0.125 ppm must not round to 0.13.
    const int decimals = qMax(2, StabilityIndicator::decimalsFor(row ? row->resolution : 0.01) - 1);
    ui->doubleSpinBox_reference->setDecimals(decimals);
    ui->comboBox_tolerance_unit->setItemText(0, unit());
    ui->doubleSpinBox_reference->setSuffix(QLatin1Char(' ') + unit());
    m_preview.restart();
    m_live.reset();
    inputsChanged();
}

void CalibrationDialog::inputsChanged()
{
    ui->doubleSpinBox_reference->setEnabled(!ui->checkBox_zero->isChecked());
    const StabilityDefaults::Channel *row = currentRow();
    if (row)
        m_preview.setLimits(CalibrationPoint::limits(*row, point() ? point()->reference : 0.0, m_times));
    showReading();
    updateButtons();
}

ReferenceEntry CalibrationDialog::entry() const
{
    ReferenceEntry e = ReferenceForm::entry(this);
    e.channel = ui->comboBox_channel->currentData().toInt();
    return e;
}

std::optional<ProcedurePoint> CalibrationDialog::point(QString *why) const
{
    return CalibrationPoint::make(m_device, entry(), m_times, why);
}

void CalibrationDialog::start()
{
    if (m_procedure && !m_procedure->isFinished())
        return;
    QString why;
    const std::optional<ProcedurePoint> p = point(&why);
    if (!m_session || !m_session->isOpen() || m_deviceGone)
        why = tr("The device is not connected.");
    if (!p || !why.isEmpty()) {
        ui->label_result->setText(why);
        return;
    }
    delete m_procedure;
    m_report.reset();
    ui->label_result->clear();
    m_procedure = new Procedure(m_session, *p, this);
    connect(m_procedure, &Procedure::stepChanged, this, &CalibrationDialog::onStep);
    connect(m_procedure, &Procedure::finished, this, &CalibrationDialog::onFinished);
    connect(m_procedure, &Procedure::timeoutPassed, this, [this] {
        ui->label_step->setText(tr("Not stable within %1 s. Accept the unstable reading, or abort.")
                                    .arg(m_procedure->point().timeoutS));
        updateButtons();
    });
    emit procedureRunning(true);
    m_procedure->start();
    updateButtons();
}

void CalibrationDialog::deviceGone(const QString &why)
{
    m_deviceGone = true;
    if (m_procedure)
        m_procedure->deviceGone(why.isEmpty() ? tr("the port was closed") : why);
    m_live.reset();
    showReading();
    if (!m_procedure)
        ui->label_step->setText(tr("The device is no longer connected."));
    updateButtons();
}

void CalibrationDialog::onSample(const LiveSample &sample)
{
    const StabilityDefaults::Channel *row = currentRow();
    if (!row)
        return;
    m_lastFields = sample.fields;
    const QString field = sample.fields.value(row->field);
    m_live = Cmd::number(field.trimmed());
    if (m_procedure && isWaiting(m_procedure->step())) {
        showStability(m_procedure->tracker());
    } else if (!m_procedure || m_procedure->isFinished()) {
        m_preview.addText(sample.pollTime.toMSecsSinceEpoch() / 1000.0, field);
        showStability(m_preview);
    }
    showReading();
}

void CalibrationDialog::onStep(Procedure::Step step)
{
    if (isWaiting(step)) {
        m_waiting.start();
        showStability(m_procedure->tracker());
    }
    ui->label_step->setText(stepText(step));
    if (step == Procedure::Step::AsFound || step == Procedure::Step::AsLeft)
        ui->label_result->setText(resultText());
    updateButtons();
}

void CalibrationDialog::onFinished(Procedure::Step step)
{
    ui->label_step->setText(stepText(step));
    ui->label_result->setText(resultText());
    // The panel starts its next write only after this one's end has been told.
    emit procedureRunning(false);
    if (!m_procedure->writes().isEmpty())
        emit deviceWritten();
    m_preview.restart();
    record();
    updateButtons();
}

// Every procedure is kept, a refused or aborted one too: the record says what was written.
void CalibrationDialog::record()
{
    const ProcedureReport report = CalibrationPoint::report(m_device, *m_procedure, entry(), m_lastFields);
    m_report = report;
    if (m_device.record && !m_device.record->append(report.toEvent()))
        ui->label_result->setText(ui->label_result->text() + QLatin1Char('\n') +
                                  m_device.record->unavailableMessage());
}

void CalibrationDialog::chooseCertificate()
{
    if (!m_report)
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = QStringLiteral("%1_%2_%3_certificate.pdf")
                             .arg(m_report->model, m_report->serial,
                                  m_report->calibrated.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    // A box of its own: the device goes on being read meanwhile.
    const QString path = QFileDialog::getSaveFileName(this, tr("Save certificate"),
                                                      QDir(folder).filePath(name), tr("PDF files (*.pdf)"));
    if (!path.isEmpty())
        saveCertificate(path);
}

bool CalibrationDialog::saveCertificate(const QString &path)
{
    if (!m_report || !m_report->isComplete())
        return false;
    Certificate certificate(*m_report);
    const bool written = certificate.write(path);
    const QString line =
        written ? tr("Certificate %1 written: %2").arg(certificate.number(), QDir::toNativeSeparators(path))
                : tr("Certificate not written: %1").arg(certificate.errorString());
    ui->label_result->setText(resultText() + QLatin1Char('\n') + line);
    return written;
}

void CalibrationDialog::showReading()
{
    const std::optional<ProcedurePoint> p = point();
    const QString u = unit();
    ui->label_live->setText(m_live ? number(*m_live) + QLatin1Char(' ') + u : QStringLiteral("----"));
    ui->label_reference->setText(p ? number(p->reference) + QLatin1Char(' ') + u : QString());
    if (!m_live || !p) {
        ui->label_difference->clear();
        return;
    }
    const double difference = *m_live - p->reference;
    ui->label_difference->setText(number(difference, true) + QLatin1Char(' ') + u);
    ui->label_difference->setStyleSheet(
        QLatin1String(qAbs(difference) <= p->tolerance ? kWithinStyle : kOutsideStyle));
}

void CalibrationDialog::showStability(const StabilityTracker &tracker)
{
    const StabilityDefaults::Channel *row = currentRow();
    if (!row)
        return;
    const Stability::Figures figures = tracker.figures();
    const Stability::Limits l = tracker.limits();
    const int decimals = StabilityIndicator::decimalsFor(row->resolution);
    const QString u = unit();
    const bool stable = tracker.isStable();
    ui->progressBar_stable->setValue(qRound(100 * Stability::progress(figures, l, tracker.elapsed())));
    ui->progressBar_stable->setFormat(stable ? tr("stable") : tr("settling: %p%"));
    QString text =
        tr("slope %1 (under %2 %3/min), SD %4 (under %5 %3), %6 of %7 s")
            .arg(StabilityIndicator::slopeText(figures.slopePerMinute, u, decimals),
                 QString::number(l.maxSlope, 'f', decimals), u, QString::number(figures.sd, 'f', decimals),
                 QString::number(l.maxSd, 'f', decimals))
            .arg(qRound(tracker.elapsed()))
            .arg(l.dwellS);
    if (m_procedure && isWaiting(m_procedure->step()) && !m_procedure->isPastTimeout()) {
        const int left = qMax(0, qRound(m_procedure->point().timeoutS - m_waiting.elapsed() / 1000.0));
        text += QLatin1String(", ") + tr("time-out in %1 s").arg(left);
    }
    ui->label_figures->setText(text);
}

void CalibrationDialog::updateButtons()
{
    const bool running = m_procedure && !m_procedure->isFinished();
    const bool connected = m_session && m_session->isOpen() && !m_deviceGone;
    ui->groupBox_point->setEnabled(!running);
    ui->pushButton_start->setEnabled(!running && connected && point().has_value());
    ui->pushButton_start->setText(m_procedure ? tr("Start again") : tr("Start"));
    ui->pushButton_applied->setEnabled(running && m_procedure->step() == Procedure::Step::Applying);
    ui->pushButton_accept->setVisible(running && m_procedure->isPastTimeout());
    ui->pushButton_abort->setEnabled(running);
    // A certificate states a pass: an incomplete or failed point gets none.
    ui->pushButton_certificate->setVisible(m_report && m_report->isComplete() && m_procedure &&
                                           m_procedure->step() == Procedure::Step::Passed);
}

QString CalibrationDialog::number(double value, bool sign) const
{
    const StabilityDefaults::Channel *row = currentRow();
    const int decimals = qMax(2, StabilityIndicator::decimalsFor(row ? row->resolution : 0.01) - 1);
    const QString text = QString::number(value, 'f', decimals);
    return sign && value > 0 && text.toDouble() != 0 ? QLatin1Char('+') + text : text;
}

QString CalibrationDialog::stepText(Procedure::Step step) const
{
    const QString reason = m_procedure ? m_procedure->reason() : QString();
    switch (step) {
    case Procedure::Step::Idle:
        return tr("Enter the reference and its gas, then press Start.");
    case Procedure::Step::Applying:
        return tr("Apply the reference gas to the sensor, then press \"Gas applied\".");
    case Procedure::Step::WaitingForStable:
        return tr("Waiting for a stable reading (as found)…");
    case Procedure::Step::AsFound:
        return tr("As found: reading taken.");
    case Procedure::Step::Adjusting:
        return tr("Adjusting the sensor…");
    case Procedure::Step::WaitingAfterAdjust:
        return tr("Waiting for a stable reading after the adjustment (as left)…");
    case Procedure::Step::AsLeft:
        return tr("As left: reading taken.");
    case Procedure::Step::Passed:
        return tr("PASS");
    case Procedure::Step::Failed:
        return tr("FAIL: %1").arg(reason);
    case Procedure::Step::Refused:
        return tr("Refused, nothing written: %1").arg(reason);
    case Procedure::Step::Aborted:
        return tr("Aborted: nothing more is written.");
    case Procedure::Step::Unplugged:
        return tr("The device was unplugged or closed (%1): nothing more is written.").arg(reason);
    case Procedure::Step::TimedOut:
        return tr("Not stable in time: %1").arg(reason);
    }
    return QString();
}

QString CalibrationDialog::readingText(const QString &title, const ProcedureReading &reading) const
{
    const QString u = unit();
    return tr("%1: %2 %3, error %4 %3 (%5)")
        .arg(title, number(reading.value), u, number(reading.error, true),
             reading.stable ? tr("stable") : tr("not stable, accepted"));
}

QString CalibrationDialog::resultText() const
{
    if (!m_procedure)
        return QString();
    QStringList lines;
    if (m_procedure->asFound().taken)
        lines.append(readingText(tr("As found"), m_procedure->asFound()));
    if (m_procedure->asLeft().taken)
        lines.append(readingText(tr("As left"), m_procedure->asLeft()));
    if (!m_procedure->writes().isEmpty())
        lines.append(tr("Written: %1").arg(m_procedure->writes().join(QLatin1String(", "))));
    if (m_procedure->isFinished()) {
        lines.append(tr("Tolerance ±%1 %2, %3")
                         .arg(number(m_procedure->point().tolerance), unit(), Procedure::decisionRule()));
    }
    if (m_procedure->step() == Procedure::Step::Passed && !m_procedure->reason().isEmpty())
        lines.append(m_procedure->reason());
    return lines.join(QLatin1Char('\n'));
}

void CalibrationDialog::closeEvent(QCloseEvent *event)
{
    // Closing ends a running procedure as an abort: nothing more is written.
    if (m_procedure && !m_procedure->isFinished())
        m_procedure->abort();
    QDialog::closeEvent(event);
}
