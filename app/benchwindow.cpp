#include "app/benchwindow.h"

#include "app/benchcalibration.h"
#include "app/benchcalibrationdialog.h"
#include "app/benchsettingdialog.h"
#include "app/benchsettingwrite.h"
#include "app/devicehost.h"
#include "app/discovery/devicewatch.h"
#include "device/devicemodels.h"
#include "device/devicesession.h"
#include "records/calibrationrecord.h"
#include "ui_benchwindow.h"

#include <QHeaderView>
#include <QLocale>
#include <QStatusBar>
#include <QTimer>

#include <utility>

namespace {

const int kRowUpdateMs = 250;

bool isListed(const QList<Dev_info> &devices, const Dev_info &device)
{
    return devices.contains(device);
}

} // namespace

BenchWindow::BenchWindow(CalibrationRecord *record, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::BenchWindow),
      m_record(record ? record : new CalibrationRecord(QString(), this)), m_checkTimer(new QTimer(this)),
      m_rowTimer(new QTimer(this)), m_pollPeriodMs(DeviceSession::kDefaultPollMs),
      m_calibration(new BenchCalibration(this)), m_settingWrite(new BenchSettingWrite(this))
{
    ui->setupUi(this);
    setWindowTitle(tr("Lumaweave TQ Gas Calibrator") + QLatin1String(" - ") + tr("Bench"));
    ui->tableDevices->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->tableDevices->horizontalHeader()->setStretchLastSection(true);
    connect(ui->tableDevices, &QTableWidget::cellDoubleClicked, this,
            [this](int row) { showPanel(m_hosts.value(row)); });
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this] {
        for (DeviceHost *host : qAsConst(m_hosts))
            host->setOnScreen(ui->tabWidget->currentWidget() == host);
    });
    // Sixteen devices at 500 ms change a row 32 times a second: the table shows them a few times a second.
    m_rowTimer->setSingleShot(true);
    m_rowTimer->setInterval(kRowUpdateMs);
    connect(m_rowTimer, &QTimer::timeout, this, &BenchWindow::updateChangedRows);
    connect(ui->pushButtonCalibrate, &QAbstractButton::clicked, this, [this] { calibrateSelected(false); });
    connect(ui->pushButtonCheck, &QAbstractButton::clicked, this, [this] { calibrateSelected(true); });
    connect(ui->pushButtonWriteSetting, &QAbstractButton::clicked, this,
            &BenchWindow::writeSettingToSelected);
    connect(m_calibration, &BenchCalibration::changed, this, [this](DeviceHost *host) {
        m_procedureText.insert(host, m_calibration->stateText(host));
        updateRow(host);
    });
    connect(m_settingWrite, &BenchSettingWrite::changed, this, [this](DeviceHost *host) {
        m_procedureText.insert(host, m_settingWrite->stateText(host));
        updateRow(host);
    });
    connect(m_checkTimer, &QTimer::timeout, this, &BenchWindow::checkDevices);
    m_checkTimer->start(1000);
    m_scan = platformScanner(m_checkTimer);
    // The devices listed now join at once, not a second later.
    QTimer::singleShot(0, this, &BenchWindow::checkDevices);
}

BenchWindow::~BenchWindow()
{
    // The panels record into m_record: they go first, out of the list the tab changes walk.
    m_changed.clear();
    // The runs end first: they give each panel its inputs back, with no row left to show it.
    m_calibration->disconnect(this);
    m_settingWrite->disconnect(this);
    delete std::exchange(m_calibration, nullptr);
    delete std::exchange(m_settingWrite, nullptr);
    qDeleteAll(std::exchange(m_hosts, {}));
    delete ui;
}

void BenchWindow::setDeviceScanner(DeviceScanner scanner)
{
    m_scan = scanner ? std::move(scanner) : platformScanner(m_checkTimer);
}

void BenchWindow::setPollPeriodMs(int ms)
{
    m_pollPeriodMs = ms;
    for (DeviceHost *host : qAsConst(m_hosts))
        host->setPollPeriodMs(ms);
}

QList<DeviceHost *> BenchWindow::selectedHosts() const
{
    QList<DeviceHost *> selected;
    for (int row = 0; row < m_hosts.size(); ++row) {
        if (ui->tableDevices->selectionModel()->isRowSelected(row, QModelIndex()))
            selected.append(m_hosts.at(row));
    }
    return selected;
}

DeviceHost *BenchWindow::hostOf(const QString &serial) const
{
    for (DeviceHost *host : m_hosts) {
        if (host->device().serialNo == serial)
            return host;
    }
    return nullptr;
}

void BenchWindow::checkDevices()
{
    const QList<Dev_info> devices = m_scan();
    for (DeviceHost *host : qAsConst(m_hosts)) {
        if (host->state() != DeviceHost::State::Gone && !isListed(devices, host->device()))
            host->markGone(tr("unplugged"));
    }
    for (const Dev_info &device : devices) {
        DeviceHost *back = nullptr;
        bool known = false;
        for (DeviceHost *host : qAsConst(m_hosts)) {
            const bool attached = host->state() != DeviceHost::State::Gone;
            // Each port and each serial is attached once; a serial gone elsewhere may come back here.
            if (attached &&
                (host->device().port == device.port || host->device().serialNo == device.serialNo))
                known = true;
            else if (host->takesBack(device))
                back = host;
        }
        if (known)
            continue;
        if (!back) {
            addHost(device);
        } else if (!back->open(device)) {
            // Tried again at the next scan.
            back->markGone(back->statusText());
        }
    }
}

void BenchWindow::addHost(const Dev_info &device)
{
    auto *host = new DeviceHost(m_record);
    host->setPollPeriodMs(m_pollPeriodMs);
    m_hosts.append(host);
    ui->tableDevices->insertRow(ui->tableDevices->rowCount());
    ui->tabWidget->addTab(host, device.serialNo);
    connect(host, &DeviceHost::changed, this, [this, host] {
        m_changed.insert(host);
        if (!m_rowTimer->isActive())
            m_rowTimer->start();
    });
    host->open(device);
    updateRow(host);
}

QString BenchWindow::cellText(DeviceHost *host, Column column) const
{
    const DeviceIdentity identity = host->identity();
    switch (column) {
    case ModelColumn:
        return identity.isIdentified() ? DeviceModels::name(identity.model) : QString();
    case SerialColumn:
        return host->device().serialNo;
    case FirmwareColumn:
        return identity.isIdentified() ? identity.versionText.trimmed() : QString();
    case PortColumn:
        return host->device().port;
    case ValuesColumn:
        return host->liveValues().join(QLatin1String("   "));
    case StabilityColumn:
        return host->stability();
    case CalibrationColumn:
        return QLocale().toString(host->lastCalibration(), QLocale::ShortFormat);
    case StateColumn:
        return DeviceHost::stateText(host->state());
    case ProcedureColumn:
        return m_procedureText.value(host);
    case StatusColumn:
        return host->statusText();
    }
    return QString();
}

void BenchWindow::updateRow(DeviceHost *host)
{
    const int row = m_hosts.indexOf(host);
    if (row < 0)
        return;
    for (int column = ModelColumn; column <= StatusColumn; ++column) {
        const QString text = cellText(host, Column(column));
        QTableWidgetItem *item = ui->tableDevices->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            ui->tableDevices->setItem(row, column, item);
        }
        if (item->text() != text)
            item->setText(text);
    }
    const QString model = cellText(host, ModelColumn);
    const QString title =
        model.isEmpty() ? host->device().serialNo : model + QLatin1Char(' ') + host->device().serialNo;
    const int tab = ui->tabWidget->indexOf(host);
    if (ui->tabWidget->tabText(tab) != title)
        ui->tabWidget->setTabText(tab, title);
}

void BenchWindow::updateChangedRows()
{
    const QSet<DeviceHost *> changed = std::exchange(m_changed, {});
    for (DeviceHost *host : changed)
        updateRow(host);
}

void BenchWindow::showPanel(DeviceHost *host)
{
    if (host)
        ui->tabWidget->setCurrentWidget(host);
}

void BenchWindow::calibrateSelected(bool checkOnly)
{
    const QList<DeviceHost *> hosts = selectedHosts();
    if (hosts.isEmpty()) {
        statusBar()->showMessage(tr("Select the devices to calibrate first."));
        return;
    }
    if (m_calibration->isRunning()) {
        statusBar()->showMessage(tr("A calibration of selected devices is still running."));
        return;
    }
    // Not modal: the bench goes on polling and showing each device's progress in its row.
    auto *dialog = new BenchCalibrationDialog(m_calibration, hosts, checkOnly, this);
    dialog->show();
}

void BenchWindow::writeSettingToSelected()
{
    const QList<DeviceHost *> hosts = selectedHosts();
    QString why;
    const int model = BenchSettingWrite::commonModel(hosts, &why);
    if (!model) {
        statusBar()->showMessage(why);
        return;
    }
    auto *dialog = new BenchSettingDialog(m_settingWrite, hosts, model, this);
    dialog->show();
}
