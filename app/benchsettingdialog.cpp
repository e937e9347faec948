#include "app/benchsettingdialog.h"

#include "app/benchsettingwrite.h"
#include "app/devicehost.h"
#include "device/devicemodels.h"
#include "device/modeltable.h"
#include "ui_benchsettingdialog.h"

BenchSettingDialog::BenchSettingDialog(BenchSettingWrite *write, const QList<DeviceHost *> &hosts, int model,
                                       QWidget *parent)
    : QDialog(parent), ui(new Ui::BenchSettingDialog), m_write(write), m_hosts(hosts), m_model(model)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    QStringList serials;
    for (DeviceHost *host : hosts)
        serials.append(host->device().serialNo);
    ui->label_devices->setText(tr("%1, %n device(s): %2", nullptr, hosts.size())
                                   .arg(DeviceModels::name(model), serials.join(QLatin1String(", "))));
    ui->comboBox_setting->addItems(BenchSettingWrite::writableWords(model));
    connect(ui->comboBox_setting, &QComboBox::currentTextChanged, this, &BenchSettingDialog::settingChanged);
    connect(ui->pushButton_write, &QAbstractButton::clicked, this, &BenchSettingDialog::write);
    connect(ui->pushButton_close, &QAbstractButton::clicked, this, &QWidget::close);
    connect(m_write, &BenchSettingWrite::finished, this, [this] {
        int confirmed = 0;
        for (DeviceHost *host : m_write->hosts())
            confirmed += m_write->outcome(host) == BenchSettingWrite::Outcome::Confirmed;
        ui->label_message->setText(tr("%1 of %2 confirmed; each device's outcome is in its row.")
                                       .arg(confirmed)
                                       .arg(m_write->hosts().size()));
        ui->pushButton_write->setEnabled(true);
    });
    settingChanged();
}

BenchSettingDialog::~BenchSettingDialog() = default;

void BenchSettingDialog::settingChanged()
{
    // The range as the first device's firmware has it; each device checks its own before writing.
    const DeviceIdentity id = m_hosts.isEmpty() ? DeviceIdentity() : m_hosts.first()->identity();
    const ModelTable::Setting *setting =
        ModelTable::setting(m_model, id.firmware, ui->comboBox_setting->currentText());
    ui->label_message->setText(setting ? tr("%1 to %2").arg(setting->min).arg(setting->max)
                                       : tr("Not on the firmware of %1.").arg(id.serial));
}

void BenchSettingDialog::write()
{
    if (ui->lineEdit_value->text().trimmed().isEmpty()) {
        ui->label_message->setText(tr("Enter a value."));
        return;
    }
    if (!m_write->start(m_hosts, ui->comboBox_setting->currentText(), ui->lineEdit_value->text())) {
        ui->label_message->setText(m_write->errorString());
        return;
    }
    if (m_write->isRunning()) {
        ui->pushButton_write->setEnabled(false);
        ui->label_message->setText(tr("Writing…"));
    }
}
