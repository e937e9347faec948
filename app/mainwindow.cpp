#include "app/mainwindow.h"

#include "app/discovery/devicescan.h"
#include "app/discovery/devicewatch.h"
#include "app/pollinterval.h"
#include "app/records/liverecorder.h"
#include "app/records/recordsdatabase.h"
#include "app/records/recordswindow.h"
#include "app/selectdevice.h"
#include "app/versionparser.h"
#include "calib/abstractcalibrator.h"
#include "calib/calibrationrecord.h"
#include "calib/calibrator.h"
#include "calib/commandset.h"
#include "calib/paneldispatch.h"
#include "chart/chartview.h"
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
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace {

// The full enumeration costs milliseconds and thousands of system calls: it runs only when the system
// reports a change, and where the system tells of changes by itself the check timer rests meanwhile.
// Shared, so the scanner stays copyable.
MainWindow::DeviceScanner defaultScanner(QTimer *checkTimer)
{
    auto scan = std::make_shared<ChangeDrivenScan>(platformUsbDeviceSource(), platformDeviceChangeSource());
    scan->pauseWhileSettled(checkTimer);
    return [scan] { return scan->devices(); };
}

} // namespace

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
    ui->action1s->setChecked(true);
    connect(ui->action500ms, &QAction::triggered, this, [this] { chooseRate(ui->action500ms, 500); });
    connect(ui->action1s, &QAction::triggered, this, [this] { chooseRate(ui->action1s, 1000); });
    connect(ui->action2s, &QAction::triggered, this, [this] { chooseRate(ui->action2s, 2000); });
    connect(ui->action10s, &QAction::triggered, this, [this] { chooseRate(ui->action10s, 10000); });
    connect(ui->actionClose_TQ_Device, &QAction::triggered, this, &MainWindow::closeLumaWeaveDevice);
    connect(ui->actionCalibration_records, &QAction::triggered, this, &MainWindow::showRecordsWindow);
    setUpRecording();
    connect(MessageBoxes::instance(), &MessageBoxes::lastBoxClosed, this, &MainWindow::releaseRetiredPanels);

    m_checkTimer = new QTimer(this);
    connect(m_checkTimer, &QTimer::timeout, this, &MainWindow::checkConnection);
    m_checkTimer->start(1000);
    m_scan = defaultScanner(m_checkTimer);

    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &MainWindow::writeATCDCommand);

    showDeviceSelection();
    setControlsEnabled(false);
    qDebug("================== system started!! ===================");
}

MainWindow::~MainWindow()
{
    // Ends the file while the window it reports to still exists.
    m_recorder->stop();
    delete m_port;
    m_port = nullptr;
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

void MainWindow::chooseRate(QAction *chosen, int periodMs)
{
    for (QAction *action : rateActions()) {
        if (action != chosen)
            action->setChecked(false);
    }
    pollIntervalMs = periodMs;
    if (m_pollTimer->isActive())
        m_pollTimer->stop();
    m_pollTimer->start(pollIntervalMs);
}

void MainWindow::setPollTimerActive(bool on)
{
    if (on) {
        m_pollTimer->start(pollIntervalMs);
        qDebug("Timer Start.");
        return;
    }
    if (m_pollTimer->isActive())
        m_pollTimer->stop();
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
    return m_port && m_port->isOpen();
}

QWidget *MainWindow::panelWidget() const
{
    return dynamic_cast<QWidget *>(m_panel);
}

void MainWindow::closeLumaWeaveDevice()
{
    qDebug("closeLumaWeaveDevice()");
    if (m_pollTimer->isActive())
        m_pollTimer->stop();
    showStatusMessage(tr("Timer Stop."));
    qDebug("Timer Stop.");
    setControlsEnabled(false);
    showDeviceSelection();
    if (m_port) {
        m_port->close();
        // May run inside the port's own read notification.
        m_port->deleteLater();
        m_port = nullptr;
    }
    m_splitter.reset();
}

void MainWindow::showDeviceSelection()
{
    m_recorder->stop();
    ui->actionRecord->setEnabled(false);
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
    m_scan = scanner ? std::move(scanner) : defaultScanner(m_checkTimer);
}

void MainWindow::checkConnection()
{
    const QList<Dev_info> devices = m_scan();
    m_selectDevice->addDevices(devices);
    m_selectDevice->removeMissingDevices(devices);
    if (m_port && m_connected)
        m_connected = isPortPresent(devices);
    if (m_connected != m_wasConnected && !m_connected) {
        qDebug("all serialport is down.");
        closeLumaWeaveDevice();
    }
    m_wasConnected = m_connected;
}

bool MainWindow::isPortPresent(const QList<Dev_info> &devices)
{
    if (!m_port)
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
        requestVersion();
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
    m_port = new QSerialPort(this);
    m_port->setBaudRate(QSerialPort::Baud115200);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setPortName(dev.port);

    if (m_port->open(QIODevice::ReadWrite)) {
        m_portName = dev.port;
        m_splitter.reset();
        // Bounded like the line framing: while a box is open inside readData nothing reads the
        // port, and what the device sends meanwhile waits in the system's buffer instead.
        m_port->setReadBufferSize(LineSplitter::kMaxPending);
        connect(m_port, &QSerialPort::readyRead, this, &MainWindow::readData);
        // Queued: the port reports a lost device from inside its own notification.
        QPointer<QSerialPort> port = m_port;
        connect(
            m_port, &QSerialPort::errorOccurred, this,
            [this, port](QSerialPort::SerialPortError e) { onPortError(port, e); }, Qt::QueuedConnection);
        qDebug() << "serial port:[" << dev.port << "],serial no:[" << dev.serialNo << "] opened!";
        return true;
    }

    // Busy, refused, gone and not-a-port read alike in the old text: say which, and what helps.
    const QSerialPort::SerialPortError error = m_port->error();
    QString why = m_port->errorString();
    if (error == QSerialPort::PermissionError)
        why += QLatin1String(" - ") +
               tr("another program may have the port open (close it), or you may not be allowed to open it "
                  "(install the udev rule)");
    m_port->close();
    m_port->deleteLater();
    m_port = nullptr;
    qDebug() << "Can't opened the serial port:[" << dev.port << "],serial no:[" << dev.serialNo << "]:" << why;
    showStatusMessage(tr("Can't opened the serial port:[") + dev.port + tr("],serial no:[") + dev.serialNo +
                      QLatin1String("] ") + why);
    return false;
}

// A port whose reads fail for good (device gone, pseudo-terminal hung up) is treated like an unplugged
// device; left open, a hung-up port reports the same error in a busy loop.
void MainWindow::onPortError(QSerialPort *port, int error)
{
    // An error queued by a port closed since then says nothing about the one open now.
    if (!m_port || port != m_port || (error != QSerialPort::ResourceError && error != QSerialPort::ReadError))
        return;
    qDebug() << "serial port error:" << m_port->errorString();
    qDebug("all serialport is down.");
    m_connected = false;
    m_wasConnected = false;
    closeLumaWeaveDevice();
}

bool MainWindow::writeData(const QByteArray &bytes)
{
    if (!m_port || !m_port->isOpen())
        return false;
    if (m_port->write(bytes) > 0) {
        if (logWanted())
            qDebug() << "writeData(\"" << Cmd::showLineEnds(bytes) << "\") success.";
        return true;
    }
    qDebug("writeData() fail!");
    return false;
}

void MainWindow::requestVersion()
{
    writeData(QByteArrayLiteral("ATCVER\r\n"));
}

void MainWindow::readData()
{
    if (!m_port)
        return;
    const QByteArray bytes = m_port->readAll();
    if (logWanted())
        qDebug() << "readData() :" << Cmd::showLineEnds(bytes);
    const QStringList lines = m_splitter.feed(bytes);
    if (m_splitter.lastFeedOverflowed())
        qDebug() << "readData() : no line end after" << LineSplitter::kMaxPending
                 << "bytes, handed on as it is";

    QPointer<MainWindow> self(this);
    for (QString line : lines) {
        if (line.contains(QLatin1String("ATCVER"))) {
            line.remove(QLatin1String("ATCVER"));
            if (m_panel) {
                qDebug() << "version reply ignored, the device is identified already:" << line;
                continue;
            }
            if (!setTQVersion(line)) {
                MessageBoxes::critical(this, QStringLiteral("ERROR"),
                                       tr("error! This device is not supported..."));
                if (!self)
                    return;
                qDebug("get Version Error");
                showStatusMessage(tr("error! This device is not supported."));
                closeLumaWeaveDevice();
            }
            continue;
        }
        if (m_panel)
            m_panel->parsingLine(line);
        if (!self)
            return;
    }
    // A box opened from a line above ran the event loop inside this readyRead: the port buffered
    // what came meanwhile but signals it no more, so read it once this call has returned.
    if (m_port && m_port->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &MainWindow::readData, Qt::QueuedConnection);
}

bool MainWindow::setTQVersion(QString reply)
{
    qDebug() << "setTQVersion : " << reply;
    const TqVersion parsed = parseTqVersion(reply);
    if (!parsed.ok)
        return false;
    qDebug() << "######## TQ model : " << parsed.model << ", TQ version : " << parsed.version;

    const PanelKind *kind = PanelDispatch::find(parsed.model);
    if (!kind)
        return false;
    if (!kind->create) {
        qDebug() << "no panel for TQ model" << parsed.model;
        return false;
    }
    m_pollCommand = kind->pollCommand;
    QWidget *widget = kind->create(reply, parsed.version, m_serialNo, this);
    auto *panel = dynamic_cast<AbstractCalibrator *>(widget);
    if (!panel) {
        delete widget;
        return false;
    }
    m_panel = panel;
    ui->verticalLayout->addWidget(widget);
    widget->show();
    ui->actionRecord->setEnabled(qobject_cast<Calibrator *>(widget) != nullptr);
    return true;
}

void MainWindow::writeATCDCommand()
{
    if (m_panel)
        m_panel->writePollCommand(m_pollCommand);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    qDebug("closeEvent()");
    if (m_pollTimer->isActive())
        m_pollTimer->stop();
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
            LiveRecorder::defaultFileName(CalibrationRecord::modelName(panel->tqModel()), panel->serialNumber(),
                                          QDateTime::currentDateTime());
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
