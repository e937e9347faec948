#include "panels/tq22calibrator.h"

#include "chart/chartview.h"

#include <QButtonGroup>
#include <QDebug>

#include <iterator>

namespace {

const int kFirstTypeButton = 200;

// What one sensor type measures. With temperature on channel 2, the radio text and the unit name
// the device's temperature unit; the offset stays in Celsius.
struct SensorType
{
    const char *radioText;
    const char *unit1;
    const char *suffix1;
    const char *title2;
    const char *unit2;
    const char *suffix2;
    bool temperature;
};

// In ATCMODE's order, from 1.
const SensorType kSensorTypes[] = {
    {"%,", "%", "%", QT_TRANSLATE_NOOP("Tq22Calibrator", "Temperature"), "", "\u00B0C", true},
    {"mbar,mbar", "mbar", "mbar", QT_TRANSLATE_NOOP("Tq22Calibrator", "Atmospheric pressure"), "mbar", "mbar",
     false},
    {"ppm,mmh2o", "ppm", "%", QT_TRANSLATE_NOOP("Tq22Calibrator", "Atmospheric pressure"), "mmh2o", "mmh2o",
     false},
    {"%,mbar", "%", "%", QT_TRANSLATE_NOOP("Tq22Calibrator", "Atmospheric pressure"), "mbar", "mbar", false},
};
constexpr int kTypeCount = int(std::size(kSensorTypes));

} // namespace

Tq22Calibrator::Tq22Calibrator(const PanelDevice &device, QWidget *parent) : ModelPanel(device, parent)
{
    attachForm();
    setInputGroups({ui->groupBox_sensortype, ui->groupBox_ch1, ui->groupBox_ch2});
    setLiveLine(QStringLiteral("ATCD"), 2, ShortLine::MissingNoValue);
    setLiveDisplays({ui->lcdNumber_ch1, ui->lcdNumber_ch2}, 0, 1);
    setRefreshOrder({
        {Cmd::ATCMODE, sensorTypeReply(false)},
        {Cmd::ATCOFF1, offsetInto(ui->doubleSpinBox_offset_ch1)},
        {Cmd::ATCOFF2, offsetInto(ui->doubleSpinBox_offset_ch2)},
    });
    setApplyHandler(Cmd::ATCMODE, sensorTypeReply(true));

    m_sensorGroup = new QButtonGroup(this);
    const QList<QAbstractButton *> types = {ui->radioButton_type1, ui->radioButton_type2,
                                            ui->radioButton_type3, ui->radioButton_type4};
    for (int i = 0; i < types.size(); ++i)
        m_sensorGroup->addButton(types.at(i), kFirstTypeButton + i);
    connect(m_sensorGroup, &QButtonGroup::idClicked, this, &Tq22Calibrator::applySensorType);
    ui->radioButton_celsius->setText(degreeUnit(true));
    ui->radioButton_fahrenheit->setText(degreeUnit(false));
    setTemperatureUnitButtons(ui->radioButton_celsius, ui->radioButton_fahrenheit, 1,
                              [this] { setSensorMode(); });
    setSensorMode(); // no type yet: plain titles, no units, no temperature unit box

    const QString offsetFailed = tr("error! apply calibration settings...]");
    applyOffsetOnPress(ui->toolButton_offset_apply_ch1, ui->doubleSpinBox_offset_ch1, Cmd::ATCOFF1,
                       offsetFailed);
    applyOffsetOnPress(ui->toolButton_offset_apply_ch2, ui->doubleSpinBox_offset_ch2, Cmd::ATCOFF2,
                       offsetFailed);
    connect(ui->pushButton_refresh, &QAbstractButton::clicked, this, &Calibrator::writeRefresh);

    startFirstRefresh();
}

// The sensor type is the device's and stays known across a reset.
void Tq22Calibrator::resetPanel()
{
    Calibrator::resetPanel();
    clearChannels({ui->lcdNumber_ch1, ui->lcdNumber_ch2}, {ui->label_unit_ch1, ui->label_unit_ch2},
                  {ui->doubleSpinBox_offset_ch1, ui->doubleSpinBox_offset_ch2});
}

void Tq22Calibrator::setSensorMode()
{
    qDebug().nospace() << "## TQ_Model : " << m_tqModel;
    const QString temperatureUnit = degreeUnit(isCelsius());
    for (int i = 0; i < kTypeCount; ++i) {
        const SensorType &type = kSensorTypes[i];
        QString text = QString::fromUtf8(type.radioText);
        if (type.temperature)
            text += temperatureUnit;
        m_sensorGroup->button(kFirstTypeButton + i)->setText(text);
    }
    ui->groupBox_tempoutput->hide();
    if (m_sensorType < 1 || m_sensorType > kTypeCount) {
        ui->groupBox_ch1->setTitle(tr("Channel 1"));
        ui->groupBox_ch2->setTitle(tr("Channel 2"));
        clearChoice(m_sensorGroup);
        ui->label_unit_ch1->clear();
        ui->label_unit_ch2->clear();
        ui->doubleSpinBox_offset_ch1->setSuffix(QString());
        ui->doubleSpinBox_offset_ch2->setSuffix(QString());
    } else {
        const SensorType &type = kSensorTypes[m_sensorType - 1];
        m_sensorGroup->button(kFirstTypeButton + m_sensorType - 1)->setChecked(true);
        ui->groupBox_ch1->setTitle(tr("O2"));
        ui->groupBox_ch2->setTitle(tr(type.title2));
        ui->label_unit_ch1->setText(QString::fromUtf8(type.unit1));
        ui->label_unit_ch2->setText(type.temperature ? temperatureUnit : QString::fromUtf8(type.unit2));
        ui->doubleSpinBox_offset_ch1->setSuffix(QString::fromUtf8(type.suffix1));
        ui->doubleSpinBox_offset_ch2->setSuffix(QString::fromUtf8(type.suffix2));
        ui->groupBox_tempoutput->setVisible(type.temperature);
    }
    ui->label_unit_ch1->fitText();
    ui->label_unit_ch2->fitText();
    setLiveUnit(0, ui->label_unit_ch1->text());
    setLiveUnit(1, ui->label_unit_ch2->text());
}

Calibrator::ReplyHandler Tq22Calibrator::sensorTypeReply(bool applied)
{
    return [this, applied](const Reply &reply) {
        const int type = tableChoice(reply, "ATCMODE").value_or(-1);
        qDebug().nospace() << (applied ? "Tq22Calibrator::parsingApply() sensorType : "
                                       : "Tq22Calibrator::parsingSequence() sensorType : ")
                           << type;
        // The table and the types this panel can show must both know it.
        if (type < 1 || type > kTypeCount)
            return Outcome::Rejected;
        // Another type measures other quantities: the trend starts afresh.
        if (applied && type != m_sensorType)
            m_chart->clearSamples();
        m_sensorType = type;
        setSensorMode();
        return Outcome::Accepted;
    };
}

void Tq22Calibrator::applySensorType(int buttonId)
{
    Choice choice;
    choice.id = Cmd::ATCMODE;
    choice.value = buttonId - kFirstTypeButton + 1;
    choice.status = tr("change the sensor type to the Mode %1...").arg(choice.value);
    choice.failText = tr("error! apply the the sensor mode to mode %1...").arg(choice.value);
    choice.readBack = true;
    choice.shown = [this] { setSensorMode(); };
    applyChoice(choice);
}
