#include "panels/tq20calibrator.h"

#include "chart/chartview.h"
#include "widgets/messageboxes.h"

#include <QButtonGroup>
#include <QDebug>

namespace {

const int kUnitCount = 2;

// Firmware before this one cannot change the TVOC unit, though it tells it.
constexpr int kUnitChoiceFirmware = 12;

// ATCMODE's sensor modes, 0 until the device has said; the ids of their radio buttons.
constexpr int kNotRead = 0;
constexpr int kTvocHumidity = 1;
constexpr int kTvocCo2 = 2;
// Units as their radio buttons count them (the ids); the device's codes depend on the firmware.
constexpr int kVocPpm = 0;
constexpr int kVocPpb = 1;
constexpr int kCo2Percent = 0;
constexpr int kCo2Ppm = 1;

} // namespace

Tq20Calibrator::Tq20Calibrator(const PanelDevice &device, QWidget *parent) : ModelPanel(device, parent)
{
    m_sensorGroup =
        groupButtons({{ui->radioButton_voc_humi, kTvocHumidity}, {ui->radioButton_voc_co2, kTvocCo2}});
    m_vocUnitGroup = groupButtons({{ui->radioButton_ppm_ch1, kVocPpm}, {ui->radioButton_ppb_ch1, kVocPpb}});
    m_co2UnitGroup =
        groupButtons({{ui->radioButton_percent_ch2, kCo2Percent}, {ui->radioButton_ppm_ch2, kCo2Ppm}});
    setFirmwareBoxes({
        {ui->groupBox_usercal, "ATCUCAL"},
        {ui->groupBox_factorycal, "ATCFCAL"},
        {ui->groupBox_sensitivity, "ATCWIN"},
        {ui->groupBox_last_calib_timestamp, "ATCEXTM"},
        {ui->groupBox_usedtime, "ATCUSED"},
        {ui->groupBox_build_time, "ATCBLDTM"},
    });
    attachForm();

    setInputGroups({ui->groupBox_sensortype, ui->groupBox_last_calib_timestamp, ui->groupBox_build_time,
                    ui->groupBox_usedtime, ui->groupBox_usercal, ui->groupBox_factorycal, ui->groupBox_ch1,
                    ui->groupBox_ch2});
    setLiveLine(QStringLiteral("ATCD"), 2, ShortLine::MissingNoValue);
    setLiveDisplays({ui->lcdNumber_ch1, ui->lcdNumber_ch2}, 0, 1);

    const auto showUnits = [this] { setSensorMode(); };
    const ReplyHandler vocUnitReply =
        unitCodeInto(&m_vocUnit, unitCode(kVocPpm), kUnitCount, ui->groupBox_unit_ch1, showUnits);
    const ReplyHandler co2UnitReply =
        unitCodeInto(&m_co2Unit, unitCode(kCo2Percent), kUnitCount, ui->groupBox_unit_ch2, showUnits);
    setRefreshOrder({
        {Cmd::ATCMODE, sensorModeReply("Tq20Calibrator::parsingSequence() sensorType : ")},
        {Cmd::ATCOFF1, offsetInto(ui->doubleSpinBox_offset_ch1)},
        {Cmd::ATCOFF2, offsetInto(ui->doubleSpinBox_offset_ch2)},
        {Cmd::ATCVOCU, vocUnitReply},
        {Cmd::ATCCU, co2UnitReply},
        {Cmd::ATCWIN, numberInto(ui->spinBox_sensitivity)},
        {Cmd::ATCEXTM, timeInto(ui->dateTimeEdit_exec_datetime)},
        {Cmd::ATCUSED, hoursInto(ui->spinBox_usedtime)},
        {Cmd::ATCBLDTM, timeInto(ui->dateTimeEdit_build_time)},
    });
    setApplyHandler(
        Cmd::ATCMODE,
        chartAfreshOnChange(sensorModeReply("Tq20Calibrator::parsingApply() sensorType : "), &m_sensorType));
    setApplyHandler(Cmd::ATCVOCU, chartAfreshOnChange(vocUnitReply, &m_vocUnit));
    setApplyHandler(Cmd::ATCCU, chartAfreshOnChange(co2UnitReply, &m_co2Unit));
    // Both calibrations run inside the sensor: the reply only says whether it started.
    const QString retry = tr("Please retry...");
    setApplyHandler(Cmd::ATCUCAL, actionReply(
                                      [this] {
                                          MessageBoxes::information(this, QStringLiteral("SUCCESS"),
                                                                    tr("Success..."), QMessageBox::Ok);
                                      },
                                      QStringLiteral("FAIL"), retry, AfterOk::End));
    setApplyHandler(
        Cmd::ATCFCAL,
        actionReply(
            [this] {
                MessageBoxes::information(
                    this, QStringLiteral("SUCCESS"),
                    tr("Unplug the sensor and plug it in again.\nNormal operation after 12 hours."),
                    QMessageBox::Ok);
            },
            QStringLiteral("FAIL"), retry, AfterOk::End));

    connect(m_sensorGroup, &QButtonGroup::idClicked, this, [this](int id) { writeSensorMode(id); });
    connect(m_vocUnitGroup, &QButtonGroup::idClicked, this, [this](int id) { writeUnit(Cmd::ATCVOCU, id); });
    connect(m_co2UnitGroup, &QButtonGroup::idClicked, this, [this](int id) { writeUnit(Cmd::ATCCU, id); });

    const QString applyFailed = tr("error! apply calibration settings...]");
    applyOffsetOnPress(ui->toolButton_offset_apply_ch1, ui->doubleSpinBox_offset_ch1, Cmd::ATCOFF1,
                       applyFailed);
    applyOffsetOnPress(ui->toolButton_offset_apply_ch2, ui->doubleSpinBox_offset_ch2, Cmd::ATCOFF2,
                       applyFailed);
    markPendingOnChange(ui->spinBox_sensitivity);
    applyOnClick(
        ui->toolButton_sensitivity_apply, Cmd::ATCWIN,
        [this] { return QString::number(ui->spinBox_sensitivity->value()); }, applyFailed);
    connect(ui->pushButton_usercal, &QAbstractButton::clicked, this, [this, applyFailed] {
        applyLater(
            Cmd::ATCUCAL, [] { return Cmd::query(Cmd::ATCUCAL); }, applyFailed);
    });
    connect(ui->pushButton_factorycal, &QAbstractButton::clicked, this,
            &Tq20Calibrator::askFactoryCalibration);
    setCalibrationTimeControls(ui->toolButton_exec_datetime, ui->dateTimeEdit_exec_datetime, applyFailed);
    connect(ui->pushButton_refresh, &QAbstractButton::clicked, this, &Calibrator::writeRefresh);

    startFirstRefresh();
}

void Tq20Calibrator::resetPanel()
{
    Calibrator::resetPanel();
    m_sensorType = kNotRead;
    m_vocUnit = kVocPpm;
    m_co2Unit = kCo2Ppm;
    ui->groupBox_ch2->setTitle(tr("Channel 2"));
    clearChannels({ui->lcdNumber_ch1, ui->lcdNumber_ch2}, {ui->label_unit_ch1, ui->label_unit_ch2},
                  {ui->doubleSpinBox_offset_ch1, ui->doubleSpinBox_offset_ch2});
    showChoice(m_sensorGroup, m_sensorType);
    // Until the device is read, nothing shows what this firmware has.
    showFirmwareBoxes(false);
    ui->groupBox_unit_ch1->hide();
    ui->groupBox_unit_ch2->hide();
}

void Tq20Calibrator::setSensorMode()
{
    qDebug().nospace() << "## setSensorMode : " << m_sensorType;
    qDebug().nospace() << "## TQ_Model : " << m_tqModel;
    const QString ppm = QStringLiteral("ppm");
    ui->doubleSpinBox_offset_ch1->setSuffix(QStringLiteral(" ppm"));
    ui->doubleSpinBox_offset_ch2->setSuffix(QStringLiteral(" ppm"));
    showFirmwareBoxes();
    ui->groupBox_unit_ch1->hide();
    ui->groupBox_unit_ch2->hide();
    showChoice(m_sensorGroup, m_sensorType);

    QString unit2;
    switch (m_sensorType) {
    case kTvocHumidity:
        ui->groupBox_ch2->setTitle(QStringLiteral("Absolute Humidity"));
        unit2 = QStringLiteral("g/m3");
        ui->doubleSpinBox_offset_ch2->setSuffix(QStringLiteral(" g/m3"));
        break;
    case kTvocCo2:
        ui->groupBox_ch2->setTitle(QStringLiteral("CO2"));
        ui->groupBox_unit_ch2->show();
        showChoice(m_co2UnitGroup, m_co2Unit);
        if (m_co2Unit == kCo2Ppm)
            unit2 = ppm;
        else if (m_co2Unit == kCo2Percent)
            unit2 = QStringLiteral("%");
        break;
    default:
        ui->groupBox_ch1->setTitle(tr("Channel 1"));
        ui->groupBox_ch2->setTitle(tr("Channel 2"));
        ui->doubleSpinBox_offset_ch1->setSuffix(QString());
        ui->doubleSpinBox_offset_ch2->setSuffix(QString());
        ui->label_unit_ch1->clear();
        ui->label_unit_ch2->clear();
        setLiveUnit(0, QString());
        setLiveUnit(1, QString());
        return;
    }
    ui->groupBox_ch1->setTitle(QStringLiteral("TVOC"));
    // Old firmware cannot change the TVOC unit, but it tells it.
    ui->groupBox_unit_ch1->setVisible(m_version >= kUnitChoiceFirmware);
    showVocUnit();
    ui->label_unit_ch2->setText(unit2);
    ui->label_unit_ch2->fitText();
    setLiveUnit(1, unit2);
}

// Old firmware counts unit codes from 1, newer from 0: the first code the table allows.
int Tq20Calibrator::unitCode(int unit) const
{
    return unit + tableMinimum("ATCVOCU");
}

void Tq20Calibrator::showChoice(QButtonGroup *group, int id)
{
    if (QAbstractButton *button = group->button(id))
        button->setChecked(true);
    else
        clearChoice(group);
}

void Tq20Calibrator::showVocUnit()
{
    showChoice(m_vocUnitGroup, m_vocUnit);
    QString unit;
    if (m_vocUnit == kVocPpm)
        unit = QStringLiteral("ppm");
    else if (m_vocUnit == kVocPpb)
        unit = QStringLiteral("ppb");
    ui->label_unit_ch1->setText(unit);
    ui->label_unit_ch1->fitText();
    setLiveUnit(0, unit);
}

// The ATCMODE reply: the sensor mode in force, 1 or 2.
Calibrator::ReplyHandler Tq20Calibrator::sensorModeReply(const char *logPrefix)
{
    return [this, logPrefix](const Reply &reply) {
        const std::optional<int> value = tableChoice(reply, "ATCMODE");
        qDebug().nospace().noquote() << logPrefix << value.value_or(-1);
        if (!value)
            return Outcome::Rejected;
        m_sensorType = *value;
        setSensorMode();
        return Outcome::Accepted;
    };
}

// A confirmed change of mode or unit starts the chart afresh, since the traces change their scale.
Calibrator::ReplyHandler Tq20Calibrator::chartAfreshOnChange(ReplyHandler handler, const int *setting)
{
    return [this, handler, setting](const Reply &reply) {
        const int before = *setting;
        const Outcome outcome = handler(reply);
        if (outcome == Outcome::Accepted && *setting != before)
            m_chart->clearSamples();
        return outcome;
    };
}

void Tq20Calibrator::writeSensorMode(int sensorType)
{
    Choice choice;
    choice.id = Cmd::ATCMODE;
    choice.value = sensorType;
    choice.status = tr("change the sensor type to the Mode %1...").arg(sensorType);
    choice.failText = tr("error! apply the the sensor mode to mode %1...").arg(sensorType);
    choice.readBack = true;
    choice.shown = [this] { setSensorMode(); };
    applyChoice(choice);
}

void Tq20Calibrator::writeUnit(int id, int unit)
{
    Choice choice;
    choice.id = id;
    choice.value = unitCode(unit);
    choice.status = tr("change the sensor unit to %1...").arg(choice.value);
    choice.failText = tr("error! apply calibration settings...");
    choice.shown = [this] { setSensorMode(); };
    applyChoice(choice);
}

void Tq20Calibrator::askFactoryCalibration()
{
    // Asked only while nothing runs; the poll goes on while the technician decides.
    if (isBusy())
        return;
    if (askYes(QStringLiteral("Factory Calibration"), tr("Do you want to calibrate for 12 hours?")))
        applyLater(
            Cmd::ATCFCAL, [] { return Cmd::query(Cmd::ATCFCAL); },
            tr("error! apply calibration settings...]"));
}
