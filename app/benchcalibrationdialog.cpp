#include "app/benchcalibrationdialog.h"

#include "app/benchcalibration.h"
#include "app/devicehost.h"
#include "calib/calibrator.h"
#include "calib/referenceform.h"
#include "ui_benchcalibrationdialog.h"
#include "widgets/decimalinput.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QStandardPaths>

BenchCalibrationDialog::BenchCalibrationDialog(BenchCalibration *run, const QList<DeviceHost *> &hosts,
                                               bool checkOnly, QWidget *parent)
    : QDialog(parent), ui(new Ui::BenchCalibrationDialog), m_run(run), m_hosts(hosts)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(checkOnly ? tr("Check selected devices") : tr("Calibrate selected devices"));
    ui->checkBox_check_only->setChecked(checkOnly);
    QStringList serials;
    for (DeviceHost *host : hosts) {
        serials.append(host->device().serialNo);
        Calibrator *panel = host->panel();
        if (!panel)
            continue;
        // Every channel any selected device has, once for each unit it reads in.
        const CalibrationDevice device = panel->calibrationDevice();
        for (const StabilityDefaults::Channel &row : device.table.rows(device.model)) {
            const QStringList key{device.channelName(row.channel), device.unit(row.channel)};
            if (!key.first().isEmpty() && ui->comboBox_channel->findData(key) < 0)
                ui->comboBox_channel->addItem(tr("%1 (%2)").arg(key.first(), key.last()), key);
        }
    }
    ui->label_devices->setText(
        tr("%n device(s): %1", nullptr, hosts.size()).arg(serials.join(QLatin1String(", "))));
    ui->comboBox_tolerance_unit->addItems({tr("absolute"), tr("% of reference")});
    ui->dateEdit_expiry->setDate(QDate::currentDate().addYears(1));
    ui->doubleSpinBox_uncertainty->setSpecialValueText(tr("none"));
    for (QAbstractSpinBox *editor : findChildren<QAbstractSpinBox *>())
        acceptAnyDecimalSeparator(editor);
    connect(ui->checkBox_zero, &QCheckBox::toggled, ui->doubleSpinBox_reference, &QWidget::setDisabled);
    connect(ui->pushButton_start, &QAbstractButton::clicked, this, &BenchCalibrationDialog::start);
    connect(ui->pushButton_applied, &QAbstractButton::clicked, this, [this] {
        m_run->gasApplied();
        ui->label_message->setText(
            tr("Each device settles, is adjusted and judged on its own: see its row."));
        updateButtons();
    });
    connect(ui->pushButton_abort, &QAbstractButton::clicked, m_run, &BenchCalibration::abort);
    connect(ui->pushButton_certificates, &QAbstractButton::clicked, this,
            &BenchCalibrationDialog::chooseFolder);
    connect(ui->pushButton_close, &QAbstractButton::clicked, this, &QWidget::close);
    connect(m_run, &BenchCalibration::changed, this, &BenchCalibrationDialog::updateButtons);
    connect(m_run, &BenchCalibration::finished, this, [this] {
        int passed = 0;
        for (DeviceHost *host : m_run->hosts())
            passed += m_run->step(host) == Procedure::Step::Passed;
        ui->label_message->setText(tr("Done: %1 of %2 passed. Each device's result is in its row.")
                                       .arg(passed)
                                       .arg(m_run->hosts().size()));
        updateButtons();
    });
    updateButtons();
}

BenchCalibrationDialog::~BenchCalibrationDialog() = default;

bool BenchCalibrationDialog::start()
{
    const QStringList key = ui->comboBox_channel->currentData().toStringList();
    if (key.size() != 2) {
        ui->label_message->setText(tr("None of the selected devices has a channel to calibrate."));
        return false;
    }
    const ReferenceEntry entry = ReferenceForm::entry(this);
    const int started = m_run->start(m_hosts, entry, key.first(), key.last());
    ui->label_message->setText(
        started ? tr("Apply the reference gas to the chamber, then press \"Gas applied\".")
                : tr("No device can take this point: each row says why. Nothing was written."));
    updateButtons();
    return started > 0;
}

void BenchCalibrationDialog::updateButtons()
{
    const bool running = m_run->isRunning();
    ui->groupBox_point->setEnabled(!running);
    ui->pushButton_start->setEnabled(!running);
    ui->pushButton_applied->setEnabled(m_run->isWaitingForGas());
    ui->pushButton_abort->setEnabled(running);
    bool passed = false;
    for (DeviceHost *host : m_run->hosts())
        passed = passed || m_run->step(host) == Procedure::Step::Passed;
    ui->pushButton_certificates->setEnabled(!running && passed);
}

void BenchCalibrationDialog::chooseFolder()
{
    // A box of its own: the devices go on being read meanwhile.
    auto *box = new QFileDialog(this, tr("Save certificates"),
                                QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    box->setFileMode(QFileDialog::Directory);
    box->setOption(QFileDialog::ShowDirsOnly);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QFileDialog::fileSelected, this, [this](const QString &folder) {
        ui->label_message->setText(m_run->saveCertificates(folder).join(QLatin1Char('\n')));
    });
    box->open();
}

void BenchCalibrationDialog::closeEvent(QCloseEvent *event)
{
    // Closing ends the running procedures as aborted: nothing more is written to any device.
    m_run->abort();
    QDialog::closeEvent(event);
}
