#include "panels/tq21calibrator.h"

#include <QButtonGroup>
#include <QDebug>

namespace {

const int kPercentButton = 400;
const int kPpmButton = 401;

} // namespace

Tq21Calibrator::Tq21Calibrator(const PanelDevice &device, QWidget *parent) : ModelPanel(device, parent)
{
    attachForm();
    setInputGroups({ui->groupBox_last_calib_timestamp, ui->groupBox_build_time, ui->groupBox_usedtime,
                    ui->groupBox_ch1, ui->groupBox_ch2});
    setLiveLine(QStringLiteral("ATCD"), 2, ShortLine::MissingNoValue);
    setLiveDisplays({ui->lcdNumber_ch1, ui->lcdNumber_ch2}, 0, 1);
    setRefreshOrder({
        {Cmd::ATCOFF1, offsetInto(ui->doubleSpinBox_offset_ch1)},
        {Cmd::ATCOFF2, offsetInto(ui->doubleSpinBox_offset_ch2)},
        {Cmd::ATCCAL, offsetInto(ui->doubleSpinBox_co2cal)},
        {Cmd::ATCCU,
         unitCodeInto(&m_co2Unit, percentCode(), 2, ui->groupBox_unit_ch1, [this] { updateUnits(); })},
        {Cmd::ATCDGFIL, numberInto(ui->spinBox_filter)},
        {Cmd::ATCSPAN, numberInto(ui->spinBox_barometer)},
        {Cmd::ATCSINFO,
         [this](const Reply &reply) {
             ui->label_versioninfo->setText(reply.value);
             return Outcome::Accepted;
         }},
        {Cmd::ATCEXTM, timeInto(ui->dateTimeEdit_exec_datetime)},
        {Cmd::ATCUSED, hoursInto(ui->spinBox_usedtime)},
        {Cmd::ATCBLDTM, timeInto(ui->dateTimeEdit_build_time)},
    });

    ui->radioButton_celsius->setText(degreeUnit(true));
    ui->radioButton_fahrenheit->setText(degreeUnit(false));
    setTemperatureUnitButtons(ui->radioButton_celsius, ui->radioButton_fahrenheit, 1,
                              [this] { updateUnits(); });
    m_co2UnitGroup =
        groupButtons({{ui->radioButton_percent_ch1, kPercentButton}, {ui->radioButton_ppm_ch1, kPpmButton}});
    connect(m_co2UnitGroup, &QButtonGroup::idClicked, this, &Tq21Calibrator::applyCo2Unit);

    const QString applyFailed = tr("error! apply calibration settings...]");
    applyOffsetOnPress(ui->toolButton_offset_apply_ch1, ui->doubleSpinBox_offset_ch1, Cmd::ATCOFF1,
                       applyFailed);
    applyOffsetOnPress(ui->toolButton_offset_apply_ch2, ui->doubleSpinBox_offset_ch2, Cmd::ATCOFF2,
                       applyFailed);
    // The CO2 calibration value is a target to write, never shown as pending.
    applyOnClick(
        ui->toolButton_co2cal_apply, Cmd::ATCCAL,
        [this] { return Cmd::decimal2(ui->doubleSpinBox_co2cal->value()); }, applyFailed, Trigger::Pressed);
    applyOnClick(
        ui->toolButton_filter_apply, Cmd::ATCDGFIL,
        [this] { return QString::number(ui->spinBox_filter->value()); }, applyFailed);
    applyOnClick(
        ui->toolButton_barometer_apply, Cmd::ATCSPAN,
        [this] { return QString::number(ui->spinBox_barometer->value()); }, applyFailed);
    setCalibrationTimeControls(ui->toolButton_exec_datetime, ui->dateTimeEdit_exec_datetime, applyFailed);
    markPendingOnChange(ui->spinBox_barometer);
    markPendingOnChange(ui->spinBox_filter);
    connect(ui->pushButton_refresh, &QAbstractButton::clicked, this, &Calibrator::writeRefresh);

    startFirstRefresh();
}

void Tq21Calibrator::resetPanel()
{
    Calibrator::resetPanel();
    m_co2Unit = UnknownUnit; // until the device has said
    clearChannels({ui->lcdNumber_ch1, ui->lcdNumber_ch2}, {ui->label_unit_ch1, ui->label_unit_ch2},
                  {ui->doubleSpinBox_offset_ch1, ui->doubleSpinBox_offset_ch2});
    for (QWidget *box :
         {ui->groupBox_co2cal, ui->groupBox_filter, ui->groupBox_barometer, ui->groupBox_versioninfo,
          ui->groupBox_build_time, ui->groupBox_last_calib_timestamp, ui->groupBox_usedtime})
        box->hide();
}

void Tq21Calibrator::updateUnits()
{
    qDebug().nospace() << "## TQ_Model : " << m_tqModel;
    if (m_co2Unit == UnknownUnit) {
        clearChoice(m_co2UnitGroup);
        ui->label_unit_ch1->clear();
    } else {
        const bool ppm = m_co2Unit == Ppm;
        (ppm ? ui->radioButton_ppm_ch1 : ui->radioButton_percent_ch1)->setChecked(true);
        ui->label_unit_ch1->setText(ppm ? QStringLiteral("ppm") : QStringLiteral("%"));
    }
    ui->label_unit_ch1->fitText();
    ui->label_unit_ch2->setText(degreeUnit(isCelsius()));
    ui->label_unit_ch2->fitText();
    setLiveUnit(0, ui->label_unit_ch1->text());
    setLiveUnit(1, ui->label_unit_ch2->text());
    // The device keeps its temperature offset in Celsius whatever unit it reports in.
    ui->doubleSpinBox_offset_ch1->setSuffix(QStringLiteral(" ppm"));
    ui->doubleSpinBox_offset_ch2->setSuffix(degreeUnit(true));

    ui->groupBox_tempoutput->show();
    ui->groupBox_co2cal->show();
    for (QWidget *box : {ui->groupBox_filter, ui->groupBox_barometer, ui->groupBox_versioninfo,
                         ui->groupBox_last_calib_timestamp})
        box->setVisible(m_version >= kFilterFirmware);
    for (QWidget *box : {ui->groupBox_usedtime, ui->groupBox_build_time})
        box->setVisible(m_version >= kUsedHoursFirmware);
}

void Tq21Calibrator::applyCo2Unit(int buttonId)
{
    Choice choice;
    choice.id = Cmd::ATCCU;
    choice.value = buttonId - kPercentButton + percentCode();
    choice.status = tr("change the sensor unit to %1...").arg(choice.value);
    choice.failText = tr("error! apply calibration settings...");
    choice.shown = [this] { updateUnits(); };
    applyChoice(choice);
}
