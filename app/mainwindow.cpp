#include "app/mainwindow.h"

#include "app/benchwindow.h"
#include "app/discovery/devicescan.h"
#include "app/discovery/devicewatch.h"
#include "app/records/liverecorder.h"
#include "app/records/recordswindow.h"
#include "app/selectdevice.h"
#include "calib/abstractcalibrator.h"
#include "calib/calibrator.h"
#include "calib/paneldispatch.h"
#include "chart/chartview.h"
#include "device/commandset.h"
#include "device/conversation.h"
#include "device/devicesession.h"
#include "device/linechannel.h"
#include "records/calibrationrecord.h"
#include "records/duedates.h"
#include "records/labstore.h"
#include "records/recordsdatabase.h"
#include "records/uploader.h"
#include "ui_mainwindow.h"
#include "widgets/logmessagehandler.h"
#include "widgets/logwindow.h"
#include "widgets/messageboxes.h"
#include "widgets/repaintpacer.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QSerialPort>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    m_previousHandler = qInstallMessageHandler(logMessageHandler);
    g_logWindow = new LogWindow;
    ui->setupUi(this);
    new RepaintPacer(this);
    setWindowTitle(tr("Lumaweave TQ Gas Calibrator") + QLatin1String(" V4.98"));

    // After the form: the panels inside it are destroyed first and may still record.
    m_record = new CalibrationRecord(QString(), this);

    m_selectDevice = new SelectDevice(this);
    ui->verticalLayout->addWidget(m_selectDevice);

    connect(m_selectDevice, &SelectDevice::selectedDevice, this, &MainWindow::onDeviceSelected);
    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionLog_Window, &QAction::triggered, this, [] {
        if (g_logWindow)
            g_logWindow->show();
    });
    // Each Rate entry carries its period.
    ui->action500ms->setData(500);
    ui->action1s->setData(1000);
    ui->action2s->setData(2000);
    ui->action10s->setData(10000);
    for (QAction *rate : rateActions())
        connect(rate, &QAction::triggered, this, [this, rate] { chooseRate(rate); });
    connect(ui->actionClose_TQ_Device, &QAction::triggered, this, &MainWindow::closeLumaWeaveDevice);
    connect(ui->actionCalibration_records, &QAction::triggered, this, &MainWindow::showRecordsWindow);
    connect(ui->actionBench, &QAction::triggered, this, &MainWindow::openBench);
    setUpRecording();
    setUpLabRecords();
    connect(MessageBoxes::instance(), &MessageBoxes::lastBoxClosed, this, &MainWindow::releaseRetiredPanels);

    m_checkTimer = new QTimer(this);
    connect(m_checkTimer, &QTimer::timeout, this, &MainWindow::checkConnection);
    m_checkTimer->start(1000);
    m_scan = platformScanner(m_checkTimer);

    m_session = new DeviceSession(this);
    setPollPeriodMs(DeviceSession::kDefaultPollMs);
    connect(m_session, &DeviceSession::pollDue, this, &MainWindow::writeATCDCommand);
    connect(m_session, &DeviceSession::identified, this, &MainWindow::onIdentified);
    connect(m_session, &DeviceSession::notSupported, this, &MainWindow::onNotSupported);
    // A device closed or unplugged before it answered says nothing about the device: only a
    // time-out is told.
    connect(m_session, &DeviceSession::identificationFailed, this, [this](DeviceReply::Error error) {
        if (error == DeviceReply::NoAnswer)
            showStatusMessage(tr("error! the device did not answer %1.").arg(QStringLiteral("ATCVER")));
        // A device that came back but does not answer is tried again at a later scan.
        if (error == DeviceReply::NoAnswer && m_gone) {
            m_deviceOpen = false;
            m_session->close();
        }
    });
    connect(m_session, &DeviceSession::lost, this, &MainWindow::onDeviceLost);
    connect(m_session->conversation(), &Conversation::unclaimedLine, this, [this](const QString &line) {
        if (line.contains(QLatin1String("ATCVER"))) {
            qDebug() << "version reply ignored, the device is identified already:" << line;
            return;
        }
        if (m_panel)
            m_panel->parsingLine(line);
    });
    connect(m_session->channel(), &LineChannel::bytesReceived, this, [](const QByteArray &bytes) {
        if (logWanted())
            qDebug() << "readData() :" << Cmd::showLineEnds(bytes);
    });

    // The stability limits are in the settings file from the first start on, for a technician to find.
    stabilityTable();
    showDeviceSelection();
    setControlsEnabled(false);
    qDebug("================== system started!! ===================");
}

MainWindow::~MainWindow()
{
    // Its panels record into m_record.
    delete m_bench;
    // Ends the file while the window it reports to still exists.
    m_recorder->stop();
    m_session->close();
    destroyLogWindow();
    qInstallMessageHandler(m_previousHandler);
    delete ui;
}

// From here on the message handler drops every message.
void MainWindow::destroyLogWindow()
{
    delete g_logWindow;
    g_logWindow = nullptr;
}

QList<QAction *> MainWindow::rateActions() const
{
    return {ui->action500ms, ui->action1s, ui->action2s, ui->action10s};
}

void MainWindow::setPollPeriodMs(int ms)
{
    for (QAction *action : rateActions())
        action->setChecked(action->data().toInt() == ms);
    m_pollPeriodMs = ms;
    m_session->setPollPeriod(ms);
}

void MainWindow::chooseRate(QAction *chosen)
{
    // Choosing the checked entry again takes its mark away, as the entry's own toggle does.
    const bool marked = chosen->isChecked();
    setPollPeriodMs(chosen->data().toInt());
    chosen->setChecked(marked);
    m_session->setPolling(true);
}

void MainWindow::setPollTimerActive(bool on)
{
    if (on) {
        m_session->setPollPeriod(m_pollPeriodMs);
        m_session->setPolling(true);
        qDebug("Timer Start.");
        return;
    }
    m_session->setPolling(false);
    showStatusMessage(tr("Timer Stop."));
    qDebug("Timer Stop.");
}

void MainWindow::setControlsEnabled(bool on)
{
    for (QAction *action : rateActions())
        action->setEnabled(on);
    if (m_panel)
        m_panel->setInputsEnabled(on);
}

void MainWindow::showStatusMessage(const QString &text)
{
    if (isDeviceOpen())
        statusBar()->showMessage(text + QLatin1String(" - [") + m_portName + QLatin1Char(']'));
    else
        statusBar()->showMessage(text);
}

bool MainWindow::isDeviceOpen() const
{
    return m_deviceOpen && m_session->isOpen();
}

QTimer *MainWindow::pollTimer() const
{
    return m_session->pollTimer();
}

QByteArray MainWindow::pollCommand() const
{
    return m_session->pollCommand().isEmpty() ? QByteArrayLiteral("ATCD\r\n") : m_session->pollCommand();
}

Conversation *MainWindow::conversation() const
{
    return m_deviceOpen ? m_session->conversation() : nullptr;
}

// A panel waiting for its device is not current: nothing it does reaches the device meanwhile.
QWidget *MainWindow::panelWidget() const
{
    return m_gone ? nullptr : dynamic_cast<QWidget *>(m_panel);
}

void MainWindow::closeLumaWeaveDevice()
{
    qDebug("closeLumaWeaveDevice()");
    m_session->setPolling(false);
    showStatusMessage(tr("Timer Stop."));
    qDebug("Timer Stop.");
    setControlsEnabled(false);
    showDeviceSelection();
    m_deviceOpen = false;
    m_session->close();
}

void MainWindow::showDeviceSelection()
{
    m_recorder->stop();
    ui->actionRecord->setEnabled(false);
    m_dueLabel->hide();
    m_gone = false;
    if (m_panel) {
        QWidget *widget = panelWidget();
        m_panel = nullptr;
        if (widget) {
            ui->verticalLayout->removeWidget(widget);
            widget->hide();
            releasePanel(widget);
        }
    }
    if (ui->verticalLayout->indexOf(m_selectDevice) < 0)
        ui->verticalLayout->insertWidget(0, m_selectDevice);
    m_selectDevice->show();
}

// A panel may be closed from inside one of its own message boxes (device unplugged meanwhile):
// it is destroyed only once no box is open any more, so the box's caller returns into a live object.
void MainWindow::releasePanel(QWidget *panel)
{
    if (MessageBoxes::openCount() > 0)
        m_retiredPanels.append(panel);
    else
        panel->deleteLater();
}

void MainWindow::releaseRetiredPanels()
{
    const auto retired = m_retiredPanels;
    m_retiredPanels.clear();
    for (const QPointer<QWidget> &panel : retired) {
        if (panel)
            panel->deleteLater();
    }
}

void MainWindow::setDeviceScanner(DeviceScanner scanner)
{
    m_scan = scanner ? std::move(scanner) : platformScanner(m_checkTimer);
}

void MainWindow::checkConnection()
{
    const QList<Dev_info> devices = m_scan();
    m_selectDevice->addDevices(devices);
    m_selectDevice->removeMissingDevices(devices);
    if (m_deviceOpen && m_connected)
        m_connected = isPortPresent(devices);
    if (m_connected != m_wasConnected && !m_connected) {
        qDebug("all serialport is down.");
        deviceWentAway();
    }
    m_wasConnected = m_connected;
    if (m_gone)
        reattach(devices);
}

void MainWindow::deviceWentAway()
{
    auto *calibrator = qobject_cast<Calibrator *>(panelWidget());
    if (!calibrator) {
        closeLumaWeaveDevice();
        return;
    }
    m_session->setPolling(false);
    m_deviceOpen = false;
    m_session->close();
    m_recorder->stop();
    m_gone = true;
    calibrator->deviceGone();
    setControlsEnabled(false);
    ui->verticalLayout->insertWidget(0, m_selectDevice);
    m_selectDevice->show();
    showStatusMessage(tr("gone") + QLatin1String(": ") +
                      tr("waiting for %1 to come back; or choose another device.").arg(m_serialNo));
}

void MainWindow::reattach(const QList<Dev_info> &devices)
{
    // Opened again already: its answer to the version query is on the way.
    if (m_deviceOpen)
        return;
    for (const Dev_info &device : devices) {
        if (device.serialNo != m_serialNo)
            continue;
        if (!m_session->open(device.port, device.serialNo))
            return; // tried again at the next scan
        qDebug() << "serial no:[" << m_serialNo << "] back on [" << device.port << "]";
        m_portName = device.port;
        m_deviceOpen = true;
        m_connected = true;
        m_wasConnected = true;
        m_session->identify();
        return;
    }
}

bool MainWindow::isPortPresent(const QList<Dev_info> &devices)
{
    if (!m_deviceOpen)
        return false;
    for (const Dev_info &device : devices) {
        if (device.port == m_portName)
            return true;
    }
    return false;
}

void MainWindow::onDeviceSelected(Dev_info dev)
{
    closeLumaWeaveDevice();
    if (openDevice(dev)) {
        showStatusMessage(tr("the TQ Series Devices were found."));
        qDebug("\tthe TQ Series Devices were found.");
        m_connected = true;
        m_wasConnected = true;
        m_selectDevice->hide();
        m_serialNo = dev.serialNo;
        m_session->identify();
    } else {
        m_connected = false;
        m_wasConnected = false;
        qDebug("exit");
    }
}

bool MainWindow::openDevice(const Dev_info &dev)
{
    if (dev.port.isEmpty() || dev.serialNo.isEmpty()) {
        showStatusMessage(tr("Open device Error!"));
        return false;
    }
    if (m_session->open(dev.port, dev.serialNo)) {
        m_portName = dev.port;
        m_deviceOpen = true;
        qDebug() << "serial port:[" << dev.port << "],serial no:[" << dev.serialNo << "] opened!";
        return true;
    }

    // Busy, refused, gone and not-a-port read alike in the old text: say which, and what helps.
    QString why = m_session->errorString();
    if (m_session->portError() == QSerialPort::PermissionError)
        why += QLatin1String(" - ") +
               tr("another program may have the port open (close it), or you may not be allowed to open it "
                  "(install the udev rule)");
    qDebug() << "Can't opened the serial port:[" << dev.port << "],serial no:[" << dev.serialNo
             << "]:" << why;
    showStatusMessage(tr("Can't opened the serial port:[") + dev.port + tr("],serial no:[") + dev.serialNo +
                      QLatin1String("] ") + why);
    return false;
}

// The session closed a port whose reads failed for good (device gone, pseudo-terminal hung up).
void MainWindow::onDeviceLost()
{
    qDebug("all serialport is down.");
    m_connected = false;
    m_wasConnected = false;
    deviceWentAway();
}

bool MainWindow::writeData(const QByteArray &bytes)
{
    if (!isDeviceOpen())
        return false;
    if (m_session->conversation()->writeUnawaited(bytes)) {
        if (logWanted())
            qDebug() << "writeData(\"" << Cmd::showLineEnds(bytes) << "\") success.";
        return true;
    }
    qDebug("writeData() fail!");
    return false;
}

// The box opens once the reply's handler has returned, so the conversation goes on meanwhile.
void MainWindow::onNotSupported()
{
    m_session->setPollCommand(QByteArray());
    QTimer::singleShot(0, this, [this] {
        MessageBoxes::critical(this, QStringLiteral("ERROR"), tr("error! This device is not supported..."));
        qDebug("get Version Error");
        showStatusMessage(tr("error! This device is not supported."));
        closeLumaWeaveDevice();
    });
}

void MainWindow::onIdentified(const DeviceIdentity &identity)
{
    qDebug() << "setTQVersion : " << identity.versionText;
    qDebug() << "######## TQ model : " << identity.model << ", TQ version : " << identity.firmware;
    if (m_gone) {
        auto *calibrator = qobject_cast<Calibrator *>(dynamic_cast<QWidget *>(m_panel));
        // Another model under the same serial is another device: the panel keeps waiting.
        if (!calibrator || calibrator->tqModel() != identity.model) {
            m_deviceOpen = false;
            m_session->close();
            showStatusMessage(tr("another model (%1) answered on %2").arg(identity.versionText, m_portName));
            return;
        }
        m_gone = false;
        m_selectDevice->hide();
        ui->verticalLayout->removeWidget(m_selectDevice);
        ui->actionRecord->setEnabled(true);
        showStatusMessage(tr("%1 is back on %2.").arg(m_serialNo, m_portName));
        calibrator->deviceBack();
        return;
    }
    const PanelKind *kind = PanelDispatch::find(identity.model);
    QWidget *widget = kind && kind->create
                          ? kind->create(identity.versionText, identity.firmware, m_serialNo, this)
                          : nullptr;
    auto *panel = dynamic_cast<AbstractCalibrator *>(widget);
    if (!panel) {
        delete widget;
        qDebug() << "no panel for TQ model" << identity.model;
        onNotSupported();
        return;
    }
    m_panel = panel;
    ui->verticalLayout->addWidget(widget);
    widget->show();
    checkDue(CalibrationRecord::modelName(identity.model), m_serialNo);
    ui->actionRecord->setEnabled(qobject_cast<Calibrator *>(widget) != nullptr);
}

StabilitySettings::Table MainWindow::stabilityTable() const
{
    QSettings settings;
    return StabilitySettings::load(settings);
}

void MainWindow::writeATCDCommand()
{
    if (m_panel)
        m_panel->writePollCommand(pollCommand());
}

void MainWindow::openBench()
{
    if (!m_bench) {
        m_bench = new BenchWindow(m_record, this);
        m_bench->setWindowFlag(Qt::Window);
        m_bench->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_bench->show();
    m_bench->raise();
    m_bench->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    qDebug("closeEvent()");
    m_session->setPolling(false);
    if (m_checkTimer->isActive())
        m_checkTimer->stop();
    closeLumaWeaveDevice();
    qDebug("================== system stopped!! ===================");
    destroyLogWindow();
    event->accept();
}

// --- calibration records and live recording ------------------------------------------------

// One "Record" toggle for whichever panel is shown, beside the status text.
void MainWindow::setUpRecording()
{
    m_recorder = new LiveRecorder(this);
    m_recordLabel = new QLabel(this);
    auto *button = new QToolButton(this);
    button->setDefaultAction(ui->actionRecord);
    statusBar()->addPermanentWidget(m_recordLabel);
    statusBar()->addPermanentWidget(button);
    connect(ui->actionRecord, &QAction::toggled, this, &MainWindow::toggleRecording);
    connect(m_recorder, &LiveRecorder::progress, m_recordLabel, &QLabel::setText);
    connect(m_recorder, &LiveRecorder::stopped, this, [this](const QString &fileName, const QString &error) {
        const QSignalBlocker blocker(ui->actionRecord);
        ui->actionRecord->setChecked(false);
        const QString file = QDir::toNativeSeparators(fileName);
        m_recordLabel->setText(
            error.isEmpty() ? tr("Recorded %n samples to %1", nullptr, m_recorder->sampleCount()).arg(file)
                            : tr("Recording ended: %1").arg(error));
    });
}

void MainWindow::setUpLabRecords()
{
    m_dueLabel = new QLabel(this);
    m_dueLabel->setObjectName(QStringLiteral("label_due"));
    m_dueLabel->setStyleSheet(QStringLiteral("QLabel { color: #b00020; font-weight: bold; }"));
    m_dueLabel->hide();
    ui->verticalLayout->addWidget(m_dueLabel);
    const LabTarget lab = LabTarget::configured();
    if (lab.isNull())
        return;
    m_labLabel = new QLabel(this);
    m_labLabel->setObjectName(QStringLiteral("label_lab_waiting"));
    m_labLabel->hide();
    statusBar()->addPermanentWidget(m_labLabel);
    m_labSync = new LabSync(m_record->filePath(), lab, this);
    connect(m_record, &CalibrationRecord::appended, m_labSync, &LabSync::nudge);
    connect(m_labSync, &LabSync::waitingChanged, this, [this](int waiting, const QString &reason) {
        m_labLabel->setText(LabSync::waitingText(waiting));
        m_labLabel->setToolTip(reason);
        m_labLabel->setVisible(waiting > 0);
    });
    connect(m_labSync, &LabSync::dueChecked, this, &MainWindow::showDue);
}

// With a lab database, on its thread: every bench's events count. Without, this bench's file.
void MainWindow::checkDue(const QString &model, const QString &serial)
{
    m_dueFor = {model, serial};
    if (m_labSync) {
        m_labSync->checkDue(model, serial);
        return;
    }
    RecordsDatabase local;
    if (!local.open(m_record->filePath()))
        return;
    const DueSensor due =
        DueDates::check(local.database(), model, serial, QDate::currentDate(), DueDates::intervalMonths);
    showDue(model, serial, due.model.isEmpty() ? QString() : DueDates::text(due));
}

void MainWindow::showDue(const QString &model, const QString &serial, const QString &text)
{
    // An answer about a sensor that is no longer the one shown is old news.
    if (text.isEmpty() || !m_panel || m_dueFor.model != model || m_dueFor.serial != serial)
        return;
    m_dueLabel->setText(text);
    ui->verticalLayout->removeWidget(m_dueLabel);
    ui->verticalLayout->insertWidget(ui->verticalLayout->indexOf(panelWidget()), m_dueLabel);
    m_dueLabel->show();
    showStatusMessage(text);
}

void MainWindow::toggleRecording(bool on)
{
    if (!on) {
        m_recorder->stop();
        return;
    }
    QPointer<Calibrator> panel = qobject_cast<Calibrator *>(panelWidget());
    QString path;
    if (panel) {
        const QString name =
            LiveRecorder::defaultFileName(CalibrationRecord::modelName(panel->tqModel()),
                                          panel->serialNumber(), QDateTime::currentDateTime());
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        path = QFileDialog::getSaveFileName(this, tr("Record live values"), QDir(folder).filePath(name),
                                            tr("CSV files (*.csv)"));
    }
    if (panel && !path.isEmpty() && m_recorder->start(panel, path))
        return;
    if (!m_recorder->errorString().isEmpty() && !path.isEmpty())
        m_recordLabel->setText(tr("Recording not started: %1").arg(m_recorder->errorString()));
    const QSignalBlocker blocker(ui->actionRecord);
    ui->actionRecord->setChecked(false);
}

RecordedDevice MainWindow::currentDevice() const
{
    const auto *panel = qobject_cast<const Calibrator *>(panelWidget());
    return panel ? RecordedDevice{CalibrationRecord::modelName(panel->tqModel()), panel->serialNumber()}
                 : RecordedDevice{};
}

QList<QImage> MainWindow::currentCharts() const
{
    const auto *panel = qobject_cast<const Calibrator *>(panelWidget());
    QList<QImage> pictures;
    for (int chart = 0; panel && panel->chart() && chart < 2; ++chart) {
        const QImage picture = panel->chart()->picture(chart);
        if (!picture.isNull())
            pictures.append(picture);
    }
    return pictures;
}

RecordsWindow *MainWindow::showRecordsWindow()
{
    if (!m_recordsWindow) {
        m_recordsWindow = new RecordsWindow(m_record->filePath(), this);
        m_recordsWindow->setChartGrabber([this] { return currentCharts(); });
    }
    m_recordsWindow->showDevice(currentDevice());
    m_recordsWindow->show();
    m_recordsWindow->raise();
    m_recordsWindow->activateWindow();
    return m_recordsWindow;
}
