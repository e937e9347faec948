#include "panels/tq24calibrator.h"

#include "chart/chartview.h"
#include "panels/calibratescaler.h"
#include "panels/calibwizard.h"
#include "widgets/messageboxes.h"

#include <QButtonGroup>
#include <QDebug>

namespace {

const int kCelsiusButton = 100;
const int kFahrenheitButton = 101;
// ATCMODE's sensor types, also the ids of their radio buttons.
constexpr int kRawGas = 0;
constexpr int kFilteredGas = 1;
const int kMicrovoltButton = 300;
const int kPpmButton = 301;

const Calibrator::EndTexts kFilterTexts = {
    QT_TRANSLATE_NOOP("Tq24Calibrator", "success! apply sensor output mode settings."),
    QT_TRANSLATE_NOOP("Tq24Calibrator", "error! apply sensor output mode settings."),
    QT_TRANSLATE_NOOP("Tq24Calibrator", "error! apply sensor output mode settings..."),
};

QString celsiusText(bool celsius)
{
    return celsius ? QStringLiteral("\u00B0C") : QStringLiteral("\u00B0F");
}

// Every field a number, or none.
std::optional<QVector<double>> numbers(const QStringList &fields, int count)
{
    if (fields.size() < count)
        return std::nullopt;
    QVector<double> values;
    for (int i = 0; i < count; ++i) {
        const std::optional<double> value = Cmd::number(fields.at(i));
        if (!value)
            return std::nullopt;
        values.append(*value);
    }
    return values;
}

} // namespace

Tq24Calibrator::Tq24Calibrator(const PanelDevice &device, QWidget *parent) : ModelPanel(device, parent)
{
    attachForm();
    setInputGroups({ui->groupBox_sensortype, ui->groupBox_last_calib_timestamp, ui->groupBox_build_time,
                    ui->groupBox_usedtime, ui->groupBox_driftadj, ui->groupBox_ch1, ui->groupBox_ch2,
                    ui->pushButton_mannual});
    setLiveLine(QStringLiteral("ATCH"), 6);
    setLiveDisplays({ui->lcdNumber_ch1, ui->lcdNumber_ch2}, 1, 2);
    setRefreshOrder({
        {Cmd::ATCMODE, sensorTypeReply(false)},
        {Cmd::ATCOFF1, offsetInto(ui->doubleSpinBox_offset_ch1)},
        {Cmd::ATCOFF2, offsetInto(ui->doubleSpinBox_offset_ch2)},
        {Cmd::ATCCSP, spanReply()},
        {Cmd::ATCEXTM, timeInto(ui->dateTimeEdit_exec_datetime)},
        {Cmd::ATCUSED, hoursInto(ui->spinBox_usedtime)},
    });
    setApplyHandler(Cmd::ATCMODE, sensorTypeReply(true));
    setApplyHandler(Cmd::ATCCZR, zeroReply());
    setApplyHandler(Cmd::ATCCAL, parametersReply());
    setApplyHandler(Cmd::ATCDRFT,
                    actionWithBox(QStringLiteral("Drift Adj."), tr("the Drift Adjustment is completed."),
                                  tr("the Drift Adjustment is failed!")));

    ui->radioButton_ppm->setChecked(true);
    // A drift that the live line does not give is shown as no value, not as a difference.
    ui->doubleSpinBox_drift->setSpecialValueText(QStringLiteral("----"));

    m_temperatureGroup = groupButtons(
        {{ui->radioButton_celsius, kCelsiusButton}, {ui->radioButton_fahrenheit, kFahrenheitButton}});
    setTemperatureUnitButtons(ui->radioButton_celsius, ui->radioButton_fahrenheit, 1,
                              [this] { setSensorMode(); });

    m_filterGroup =
        groupButtons({{ui->radioButton_rawgas, kRawGas}, {ui->radioButton_filtergas, kFilteredGas}});
    connect(m_filterGroup, &QButtonGroup::idClicked, this, &Tq24Calibrator::applyFilter);

    m_unitGroup =
        groupButtons({{ui->radioButton_microvolt, kMicrovoltButton}, {ui->radioButton_ppm, kPpmButton}});
    connect(m_unitGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_isMicrovolt = id == kMicrovoltButton;
        setSensorMode();
        m_chart->clearSamples(); // ppm and uV do not share a scale
    });

    const QString applyFailed = tr("error! apply calibration settings...]");
    markPendingOnChange(ui->doubleSpinBox_offset_ch1);
    markPendingOnChange(ui->doubleSpinBox_offset_ch2);
    markPendingOnChange(ui->doubleSpinBox_spancal_ppm);
    applyOnClick(
        ui->toolButton_offset_apply_ch1, Cmd::ATCOFF1,
        [this] { return Cmd::decimal2(ui->doubleSpinBox_offset_ch1->value()); }, applyFailed,
        Trigger::Pressed);
    applyOnClick(
        ui->toolButton_offset_apply_ch2, Cmd::ATCOFF2,
        [this] { return Cmd::decimal2(ui->doubleSpinBox_offset_ch2->value()); }, applyFailed,
        Trigger::Pressed);
    setCalibrationTimeControls(ui->toolButton_exec_datetime, ui->dateTimeEdit_exec_datetime, applyFailed);
    connect(ui->toolButton_zerocal_apply, &QAbstractButton::clicked, this,
            &Tq24Calibrator::askZeroCalibration);
    connect(ui->toolButton_spancal_apply, &QAbstractButton::clicked, this,
            &Tq24Calibrator::applySpanCalibration);
    connect(ui->pushButton_driftadj, &QAbstractButton::clicked, this, &Tq24Calibrator::askDriftAdjustment);
    connect(ui->pushButton_mannual, &QAbstractButton::clicked, this, &Tq24Calibrator::openWizard);
    connect(ui->pushButton_refresh, &QAbstractButton::clicked, this, &Calibrator::writeRefresh);

    startFirstRefresh();
}

void Tq24Calibrator::resetPanel()
{
    wizardClose();
    Calibrator::resetPanel();
    m_isMicrovolt = false;
    m_sensorType = kRawGas;
    m_deviceCalibration = {};
    ui->lcdNumber_ch1->display(QString());
    ui->lcdNumber_ch2->display(QString());
    ui->label_unit_ch1->clear();
    ui->label_unit_ch2->clear();
    for (QDoubleSpinBox *offset : {ui->doubleSpinBox_offset_ch1, ui->doubleSpinBox_offset_ch2}) {
        offset->setValue(0.0);
        offset->setStyleSheet(QString());
    }
    ui->doubleSpinBox_temperature->setValue(0.0);
    ui->doubleSpinBox_temperature->setSuffix(QString());
    ui->doubleSpinBox_drift->setValue(0.0);
    ui->radioButton_celsius->setText(celsiusText(true));
    ui->radioButton_fahrenheit->setText(celsiusText(false));
    ui->groupBox_build_time->hide();
}

void Tq24Calibrator::setInputsEnabled(bool enabled)
{
    m_inputsEnabled = enabled;
    Calibrator::setInputsEnabled(enabled);
    updateWizardButton();
}

void Tq24Calibrator::setSensorMode()
{
    qDebug().nospace() << "## setSensorMode :" << m_sensorType;
    qDebug().nospace() << "## TQ_Model :" << m_tqModel;
    ui->label_unit_ch1->setText(m_isMicrovolt ? QStringLiteral("uV") : QStringLiteral("ppm"));
    ui->label_unit_ch1->fitText();
    ui->label_unit_ch2->setText(celsiusText(m_isCelsius));
    setLiveUnit(2, celsiusText(m_isCelsius));
    ui->label_unit_ch2->fitText();
    ui->doubleSpinBox_temperature->setSuffix(celsiusText(m_isCelsius));
    if (QAbstractButton *button = m_filterGroup ? m_filterGroup->button(m_sensorType) : nullptr)
        button->setChecked(true);
}

void Tq24Calibrator::showLiveValues(const QStringList &fields)
{
    const int gasField = m_isMicrovolt ? 0 : 1;
    const QString gas = fields.value(gasField);
    const QString temperature = fields.value(2);
    showField(ui->lcdNumber_ch1, fields, gasField);
    showField(ui->lcdNumber_ch2, fields, 2);
    // A field without a value leaves the last one shown rather than a made-up zero.
    if (const std::optional<double> slope = Cmd::number(fields.value(4)))
        ui->doubleSpinBox_slope->setValue(*slope);
    if (const std::optional<double> degrees = Cmd::number(temperature))
        ui->doubleSpinBox_temperature->setValue(*degrees);
    QDoubleSpinBox *drift = ui->doubleSpinBox_drift;
    const std::optional<double> level = Cmd::number(fields.value(3));
    const std::optional<double> zero = Cmd::number(fields.value(5));
    if (level && zero && qAbs(*level - *zero) <= drift->maximum())
        drift->setValue(*level - *zero);
    else
        drift->setValue(drift->minimum());
    addChartSample(gas, temperature);
}

// The wizard's values are the device's, and the device that comes back is read afresh.
void Tq24Calibrator::deviceGone()
{
    wizardClose();
    Calibrator::deviceGone();
}

void Tq24Calibrator::hideEvent(QHideEvent *event)
{
    // Retired by the main window (device gone): the wizard has nothing left to write to.
    if (!isCurrentPanel())
        wizardClose();
    Calibrator::hideEvent(event);
}

Calibrator::ReplyHandler Tq24Calibrator::sensorTypeReply(bool applied)
{
    return [this, applied](const Reply &reply) {
        const std::optional<int> value = tableChoice(reply, "ATCMODE");
        qDebug().nospace() << (applied ? "Tq24Calibrator::parsingApply() sensorType :"
                                       : "Tq24Calibrator::parsingSequence() sensorType :")
                           << value.value_or(-1);
        if (!value)
            return Outcome::Rejected;
        m_sensorType = *value;
        setSensorMode();
        return Outcome::Accepted;
    };
}

// "ATCCSP" answers ppm, sensitivity, zero and span, read as well as written.
Calibrator::ReplyHandler Tq24Calibrator::spanReply()
{
    return [this](const Reply &reply) {
        const std::optional<QVector<double>> values = numbers(reply.fields(), 4);
        if (!values)
            return Outcome::Rejected;
        const std::optional<double> ppm = showCalibration(ui->doubleSpinBox_spancal_ppm, values->at(0));
        showDeviceValue(ui->doubleSpinBox_slope, values->at(1), false);
        m_deviceCalibration = {ppm, showCalibration(ui->doubleSpinBox_zerocal, values->at(2)),
                               showCalibration(ui->doubleSpinBox_spancal, values->at(3))};
        updateWizardButton();
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Tq24Calibrator::zeroReply()
{
    return [this](const Reply &reply) {
        const std::optional<double> zero = reply.number();
        if (!zero)
            return Outcome::Rejected;
        m_deviceCalibration.zero = showCalibration(ui->doubleSpinBox_zerocal, *zero);
        updateWizardButton();
        return Outcome::Accepted;
    };
}

// "ATCCAL" answers the span gas, zero and span the device now holds.
Calibrator::ReplyHandler Tq24Calibrator::parametersReply()
{
    return [this](const Reply &reply) {
        m_parametersAnswered = true;
        const std::optional<QVector<double>> values = numbers(reply.fields(), 3);
        if (!values)
            return Outcome::Rejected;
        m_deviceCalibration = {showCalibration(ui->doubleSpinBox_spancal_ppm, values->at(0)),
                               showCalibration(ui->doubleSpinBox_zerocal, values->at(1)),
                               showCalibration(ui->doubleSpinBox_spancal, values->at(2))};
        updateWizardButton();
        return Outcome::Accepted;
    };
}

void Tq24Calibrator::applyFilter(int buttonId)
{
    if (isBusy()) {
        setSensorMode();
        return;
    }
    Choice choice;
    choice.id = Cmd::ATCMODE;
    choice.value = buttonId;
    choice.status = tr("change the sensor type to the Mode%1...").arg(choice.value);
    choice.failText = tr("error! apply the the sensor mode to mode%1...").arg(choice.value);
    choice.texts = &kFilterTexts;
    choice.mode = SENSORTYPE;
    choice.readBack = true;
    choice.shown = [this] { setSensorMode(); };
    applyChoice(choice);
}

void Tq24Calibrator::askZeroCalibration()
{
    if (isBusy() || !askYes(QStringLiteral("Zero Calibration"), tr("Do you want to calibrate for Zero?")))
        return;
    writeCalibration(Cmd::ATCCZR, [] { return Cmd::query(Cmd::ATCCZR); });
}

void Tq24Calibrator::applySpanCalibration()
{
    if (isBusy())
        return;
    writeCalibration(Cmd::ATCCSP, [this] {
        return Cmd::write(Cmd::ATCCSP, Cmd::decimal2(ui->doubleSpinBox_spancal_ppm->value()));
    });
}

void Tq24Calibrator::askDriftAdjustment()
{
    if (isBusy() || !askYes(QStringLiteral("Drift Adjustment."), tr("Do you want to Drift Adjustment?")))
        return;
    writeCalibration(Cmd::ATCDRFT, [] { return Cmd::query(Cmd::ATCDRFT); });
}

// What the panel read of the calibration is stale from the moment such a command goes out.
void Tq24Calibrator::writeCalibration(int id, std::function<QString()> command, const ApplyOptions &options)
{
    applyLater(
        id,
        [this, id, command] {
            const QString text = command();
            if (!text.isEmpty())
                forgetCalibration(id);
            return text;
        },
        tr("error! apply calibration settings...]"), options);
}

void Tq24Calibrator::openWizard()
{
    if (m_wizard) {
        m_wizard->raise();
        return;
    }
    if (!calibrationKnown())
        return;
    auto *wizard = new CalibWizard(this);
    wizard->setWizardStyle(QWizard::MacStyle);
    wizard->setModal(true);
    auto *page = new CalibrateScaler(*m_deviceCalibration.zero, *m_deviceCalibration.span,
                                     *m_deviceCalibration.ppm, wizard);
    page->setTitle(QStringLiteral("Calibration parameters"));
    wizard->setPage(1, page);
    connect(wizard, &CalibWizard::almostDone, this, &Tq24Calibrator::slotWizardAlmostDone);
    m_wizard = wizard;
    m_wizardPage = page;
    m_parametersPending = false;
    wizard->show();
}

void Tq24Calibrator::slotWizardAlmostDone(int result)
{
    qDebug() << "slotWizardAlmostDone() " << result;
    if (result != QDialog::Accepted || !m_wizard) {
        wizardClose();
        return;
    }
    if (m_parametersPending) {
        qDebug("calibration parameters already on their way: Finish ignored");
        return;
    }
    m_parametersPending = true;
    m_parametersAnswered = false;
    // What the page shows now is what the technician confirmed; the page may be gone by the write.
    const QString parameters = m_wizardPage->parametersText();
    const QPointer<CalibWizard> wizard = m_wizard;
    ApplyOptions options;
    options.ended = [this] {
        m_parametersPending = false;
        if (m_parametersAnswered)
            wizardClose();
    };
    writeCalibration(
        Cmd::ATCCAL,
        [this, wizard, parameters] {
            if (!wizard || wizard != m_wizard) {
                qDebug("wizard closed before its parameters were written: nothing sent");
                return QString();
            }
            return Cmd::write(Cmd::ATCCAL, parameters);
        },
        options);
}

void Tq24Calibrator::wizardClose()
{
    m_parametersPending = false;
    if (!m_wizard)
        return;
    qDebug("wizardClose()");
    m_wizard->hide();
    m_wizard->deleteLater();
    m_wizard = nullptr;
    m_wizardPage = nullptr;
}

// A zero calibration changes the zero alone; the other calibration commands may change all three.
void Tq24Calibrator::forgetCalibration(int id)
{
    m_deviceCalibration.zero.reset();
    if (id != Cmd::ATCCZR) {
        m_deviceCalibration.ppm.reset();
        m_deviceCalibration.span.reset();
    }
    updateWizardButton();
}

// Values the editors cannot hold must not reach the wizard, which would write them clipped.
std::optional<double> Tq24Calibrator::showCalibration(QDoubleSpinBox *editor, double value)
{
    return showDeviceValue(editor, value) ? std::optional<double>(value) : std::nullopt;
}

void Tq24Calibrator::updateWizardButton()
{
    ui->pushButton_mannual->setEnabled(m_inputsEnabled && calibrationKnown());
}
