#include "panels/pmcalibrator.h"

#include "chart/chartview.h"
#include "widgets/messageboxes.h"

#include <QButtonGroup>
#include <QDebug>

namespace {

// ATCMODE's output modes, also the ids of their radio buttons.
constexpr int kMassConcentration = 0;
constexpr int kNumberConcentration = 1;
const int kMaxBaudIndex = 5;
const int kMaxTimeoutIndex = 4;

} // namespace

PmCalibrator::PmCalibrator(const PanelDevice &device, QWidget *parent) : ModelPanel(device, parent)
{
    m_pairs = {
        {ui->groupBox_ch1_2, QStringLiteral("pm2.5"), QStringLiteral("pm10.0"), 0, 1, Cmd::ATCOFF1,
         Cmd::ATCOFF2},
        {ui->groupBox_ch3_4, QStringLiteral("pm1.0"), QStringLiteral("pm4.0"), 2, 3, Cmd::ATCOFF3,
         Cmd::ATCOFF4},
        {ui->groupBox_ch5_6, QStringLiteral("pm0.5"), QStringLiteral("partical size"), 4, 5, Cmd::ATCOFF5,
         Cmd::NoCommand},
    };
    // Pair 2 hides channel 2's offset; its place stays so the chart does not jump.
    QSizePolicy offsetPolicy = ui->groupBox_offset_ch2->sizePolicy();
    offsetPolicy.setRetainSizeWhenHidden(true);
    ui->groupBox_offset_ch2->setSizePolicy(offsetPolicy);
    attachForm();

    setInputGroups({ui->groupBox_sensortype, ui->groupBox_last_calib_timestamp, ui->groupBox_usedtime,
                    ui->groupBox_ch1_2, ui->groupBox_ch3_4, ui->groupBox_ch5_6, ui->groupBox_ch1,
                    ui->groupBox_ch2, ui->groupBox_modbus_addr, ui->groupBox_modbus_timeout,
                    ui->groupBox_modbus_baudrate, ui->groupBox_modbus_byteswap, ui->groupBox_factoryreset});
    setLiveLine(QStringLiteral("ATCH"), 6, ShortLine::AllNoValue);
    // The pair shown large is the panel's own choice (showLiveValues); these all go blank together.
    setLiveDisplays({ui->lcdNumber_preview_ch1, ui->lcdNumber_preview_ch2, ui->lcdNumber_preview_ch3,
                     ui->lcdNumber_preview_ch4, ui->lcdNumber_preview_ch5, ui->lcdNumber_preview_ch6,
                     ui->lcdNumber_ch1, ui->lcdNumber_ch2},
                    0, 1);
    setRefreshOrder({
        {Cmd::ATCMODE, outputModeReply(false)},
        {Cmd::ATCOFF1, offsetInto(ui->doubleSpinBox_offset_ch1, pairIs(0))},
        {Cmd::ATCOFF2, offsetInto(ui->doubleSpinBox_offset_ch2, pairIs(0))},
        {Cmd::ATCOFF3, offsetInto(ui->doubleSpinBox_offset_ch1, pairIs(1))},
        {Cmd::ATCOFF4, offsetInto(ui->doubleSpinBox_offset_ch2, pairIs(1))},
        {Cmd::ATCOFF5, offsetInto(ui->doubleSpinBox_offset_ch1, pairIs(2))},
        {Cmd::ATCMODID, numberInto(ui->spinBox_modbus_addr)},
        {Cmd::ATCMODBR, indexInto(ui->comboBox_modbus_baudrate, &m_deviceBaudIndex, kMaxBaudIndex)},
        {Cmd::ATCMODSW, flagInto(ui->checkBox_modbus_byteswap)},
        {Cmd::ATCMODTO, indexInto(ui->comboBox_modbus_timeout, &m_deviceTimeoutIndex, kMaxTimeoutIndex)},
        {Cmd::ATCEXTM, timeInto(ui->dateTimeEdit_exec_datetime)},
        {Cmd::ATCUSED, hoursInto(ui->spinBox_usedtime)},
    });
    setApplyHandler(Cmd::ATCMODE, outputModeReply(true));
    setApplyHandler(Cmd::ATCFTRST,
                    actionWithBox(QStringLiteral("Factory Reset"), tr("the Factory Reset is completed."),
                                  tr("the Factory Reset is failed!")));

    m_outputGroup = groupButtons(
        {{ui->radioButton_mass, kMassConcentration}, {ui->radioButton_number, kNumberConcentration}});
    connect(m_outputGroup, &QButtonGroup::idClicked, this, &PmCalibrator::applyOutputMode);

    m_selectedChannel = 0;
    ui->groupBox_ch1_2->setChecked(true);
    for (int pair = 0; pair < m_pairs.size(); ++pair) {
        connect(m_pairs[pair].box, &QGroupBox::toggled, this, [this, pair](bool on) {
            if (on)
                selectPair(pair);
        });
    }
    markPendingOnChange(ui->doubleSpinBox_offset_ch1);
    markPendingOnChange(ui->doubleSpinBox_offset_ch2);
    connect(ui->toolButton_offset_apply_ch1, &QAbstractButton::pressed, this, [this] { applyOffset(1); });
    connect(ui->toolButton_offset_apply_ch2, &QAbstractButton::pressed, this, [this] { applyOffset(2); });
    setCalibrationTimeControls(ui->toolButton_exec_datetime, ui->dateTimeEdit_exec_datetime,
                               tr("error! apply calibration settings...]"));

    fillCombo(ui->comboBox_modbus_baudrate,
              {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("14400"),
               QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600")});
    fillCombo(ui->comboBox_modbus_timeout,
              {tr("1 Second"), tr("150 mSec"), tr("300 mSec"), tr("600 mSec"), tr("2 Second")});
    m_deviceBaudIndex = 0;
    m_deviceTimeoutIndex = 0;

    const QString applyFailed = tr("error! apply calibration settings...");
    applyOnClick(
        ui->toolButton_modbus_addr_apply, Cmd::ATCMODID,
        [this] { return QString::number(ui->spinBox_modbus_addr->value()); }, applyFailed);
    applyOnClick(
        ui->toolButton_modbus_baudrate_apply, Cmd::ATCMODBR,
        [this] { return QString::number(ui->comboBox_modbus_baudrate->currentData().toInt()); }, applyFailed);
    applyOnClick(
        ui->toolButton_modbus_timeout_apply, Cmd::ATCMODTO,
        [this] { return QString::number(ui->comboBox_modbus_timeout->currentData().toInt()); }, applyFailed);
    applyOnClick(
        ui->toolButton_modbus_byteswap_apply, Cmd::ATCMODSW,
        [this] { return QLatin1String(ui->checkBox_modbus_byteswap->isChecked() ? "1" : "0"); }, applyFailed);
    markPendingOnChange(ui->spinBox_modbus_addr);
    compareOnChange(ui->comboBox_modbus_baudrate, &m_deviceBaudIndex);
    compareOnChange(ui->comboBox_modbus_timeout, &m_deviceTimeoutIndex);
    connect(ui->pushButton_factoryreset, &QAbstractButton::clicked, this, &PmCalibrator::askFactoryReset);
    connect(ui->pushButton_refresh, &QAbstractButton::clicked, this, &Calibrator::writeRefresh);

    startFirstRefresh();
}

void PmCalibrator::resetPanel()
{
    Calibrator::resetPanel();
    m_selectedChannel = 0;
    m_outputType = kMassConcentration;
    ui->groupBox_ch1->setTitle(tr("Channel 1"));
    ui->groupBox_ch2->setTitle(tr("Channel 2"));
    for (QLCDNumber *lcd : {ui->lcdNumber_ch1, ui->lcdNumber_ch2, ui->lcdNumber_preview_ch1,
                            ui->lcdNumber_preview_ch2, ui->lcdNumber_preview_ch3, ui->lcdNumber_preview_ch4,
                            ui->lcdNumber_preview_ch5, ui->lcdNumber_preview_ch6})
        lcd->display(QString());
    ui->label_unit_ch1->clear();
    ui->label_unit_ch2->clear();
    for (QDoubleSpinBox *offset : {ui->doubleSpinBox_offset_ch1, ui->doubleSpinBox_offset_ch2}) {
        offset->setValue(0.0);
        offset->setSuffix(QString());
    }
}

void PmCalibrator::setOutputMode()
{
    qDebug().nospace() << "## setOutputMode : " << m_outputType;
    qDebug().nospace() << "## TQ_Model : " << m_tqModel;
    if (m_outputType != kMassConcentration)
        ui->radioButton_number->setChecked(true);
    else
        ui->radioButton_mass->setChecked(true);
    // The four mass fields follow the output mode; the last two always count particles.
    for (int field = 0; field < 4; ++field)
        setLiveUnit(field,
                    m_outputType != kMassConcentration ? QStringLiteral("#/cm3") : QStringLiteral("ug/m3"));
    const bool counts = m_outputType != kMassConcentration || m_selectedChannel == 2;
    for (ResizeLabel *unit : {ui->label_unit_ch1, ui->label_unit_ch2}) {
        unit->setText(counts ? QStringLiteral("#/cm3") : QStringLiteral("ug/m3"));
        unit->fitText();
    }
}

void PmCalibrator::setSelectedChannel()
{
    qDebug().nospace() << "## setSelectedChannel : " << m_selectedChannel;
    qDebug().nospace() << "## TQ_Model : " << m_tqModel;
    if (m_selectedChannel < 0 || m_selectedChannel >= m_pairs.size())
        return;
    const Pair &pair = m_pairs.at(m_selectedChannel);
    ui->groupBox_ch1->setTitle(pair.title1);
    ui->groupBox_ch2->setTitle(pair.title2);
    ui->groupBox_offset_ch2->setVisible(pair.offset2 != Cmd::NoCommand);
}

void PmCalibrator::showLiveValues(const QStringList &fields)
{
    const QList<QLCDNumber *> previews = {ui->lcdNumber_preview_ch1, ui->lcdNumber_preview_ch2,
                                          ui->lcdNumber_preview_ch3, ui->lcdNumber_preview_ch4,
                                          ui->lcdNumber_preview_ch5, ui->lcdNumber_preview_ch6};
    for (int i = 0; i < previews.size(); ++i)
        showField(previews[i], fields, i);
    const Pair &pair = m_pairs.at(qBound(0, m_selectedChannel, int(m_pairs.size()) - 1));
    showField(ui->lcdNumber_ch1, fields, pair.field1);
    showField(ui->lcdNumber_ch2, fields, pair.field2);
    addChartSample(fields.value(pair.field1), fields.value(pair.field2));
}

// The ATCMODE reply: the output mode in force. An applied change also starts the chart afresh,
// since mass and number concentrations do not share a scale.
Calibrator::ReplyHandler PmCalibrator::outputModeReply(bool applied)
{
    return [this, applied](const Reply &reply) {
        const std::optional<int> value = tableChoice(reply, "ATCMODE");
        if (applied)
            qDebug().nospace() << "PmCalibrator::parsingApply() outputType : " << value.value_or(-1);
        if (!value)
            return Outcome::Rejected;
        m_outputType = *value;
        setOutputMode();
        setSelectedChannel();
        if (applied)
            m_chart->clearSamples();
        return Outcome::Accepted;
    };
}

std::function<bool()> PmCalibrator::pairIs(int pair) const
{
    return [this, pair] { return m_selectedChannel == pair; };
}

void PmCalibrator::selectPair(int pair)
{
    for (int other = 0; other < m_pairs.size(); ++other) {
        if (other != pair)
            m_pairs[other].box->setChecked(false);
    }
    if (m_selectedChannel != pair) {
        m_selectedChannel = pair;
        writeRefresh();
    }
}

void PmCalibrator::applyOffset(int channel)
{
    QDoubleSpinBox *editor = channel == 1 ? ui->doubleSpinBox_offset_ch1 : ui->doubleSpinBox_offset_ch2;
    applyLater(
        [this, channel, editor] {
            const Pair &pair = m_pairs.at(qBound(0, m_selectedChannel, int(m_pairs.size()) - 1));
            const int id = channel == 1 ? pair.offset1 : pair.offset2;
            if (id == Cmd::NoCommand)
                return Write{};
            return Write{id, Cmd::write(id, Cmd::decimal2(editor->value()))};
        },
        tr("error! apply calibration settings...]"));
}

void PmCalibrator::applyOutputMode(int buttonId)
{
    Choice choice;
    choice.id = Cmd::ATCMODE;
    choice.value = buttonId;
    choice.status = tr("change the sensor output mode to '") +
                    (buttonId == kMassConcentration ? QStringLiteral("Mass Concentration'.")
                                                    : QStringLiteral("Number Concentration'."));
    choice.failText = tr("error! change the sensor output mode...");
    choice.shown = [this] { setOutputMode(); };
    applyChoice(choice);
}

void PmCalibrator::askFactoryReset()
{
    if (!askYes(tr("Factory Reset"), tr("Your work will be erased. Would you like to continue?")))
        return;
    applyLater(
        Cmd::ATCFTRST, [] { return Cmd::query(Cmd::ATCFTRST); }, tr("error! apply calibration settings..."));
}
