#include "app/mainwindow.h"
#include "app/selectdevice.h"
#include "calib/abstractcalibrator.h"
#include "calib/paneldispatch.h"
#include "device/conversation.h"
#include "device/devicesession.h"
#include "records/calibrationrecord.h"
#include "tools/tq-sim/simulateddevice.h"
#include "widgets/logmessagehandler.h"
#include "widgets/logwindow.h"
#include "widgets/messageboxes.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSerialPort>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

namespace {

// Records what the main window hands it, so tests can check the channel without a real model panel.
class TestPanel : public QWidget, public AbstractCalibrator
{
public:
    TestPanel(const QString &versionText, int version, const QString &serial, QWidget *parent)
        : QWidget(parent), versionText(versionText), version(version), serial(serial),
          mainWindow(qobject_cast<MainWindow *>(parent))
    {
        ++s_alive;
    }
    ~TestPanel() override { --s_alive; }

    void setInputsEnabled(bool enabled) override { inputsEnabled.append(enabled); }
    bool writePollCommand(const QByteArray &bytes) override
    {
        polls.append(bytes);
        return mainWindow->writeData(bytes);
    }
    void parsingLine(QString line) override
    {
        lines.append(line);
        if (onLine)
            onLine(this, line);
    }

    QString versionText;
    int version;
    QString serial;
    MainWindow *mainWindow;
    QStringList lines;
    QList<QByteArray> polls;
    QList<bool> inputsEnabled;
    std::function<void(TestPanel *, const QString &)> onLine;

    static inline int s_alive = 0;
};

QString logText()
{
    auto *view = g_logWindow ? g_logWindow->findChild<QTextEdit *>(QStringLiteral("textEdit")) : nullptr;
    return view ? view->toPlainText() : QString();
}

} // namespace

// The real main window: menus, timers and the device list, and a real serial port talking to the
// simulator on a pseudo-terminal, with a panel that records what it is handed.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void start_showsListWithRateDisabledAndOnlyCheckTimerRunning();
    void rate_choices_restartPollingAndKeepOneCheckMark();
    void scan_devicesComeAndGo_listFollowsWithinOneCheck();
    void addDevices_entryContainingNewText_preventsNewEntry();
    void activate_emptySerial_openDeviceError();
    void activate_missingPort_cannotOpenMessage();
    void close_destroysLogWindowAndLogsStop();
    void activate_sendsExactlyTheVersionQuery();
    void versionUnanswered_data();
    void versionUnanswered();
    void unsupportedReply_boxThenPortClosedAndListBack_data();
    void unsupportedReply_boxThenPortClosedAndListBack();
    void supportedReply_panelGetsLinesAndPollsGoOut();
    void secondVersionReply_ignoredWhilePanelExists();
    void deviceVanishesFromScan_closedWithLogLine();
    void deviceUnpluggedDuringPanelBox_panelOutlivesTheBox();
    void stalePortError_newDeviceStaysOpen_ownPortErrorClosesIt();
    void connect_overdueSensor_shownAbovePanelAndInStatusBar();

private:
    // Lists the simulator and activates it; with a panel, waits until the panel exists.
    void openSimulatedDevice(const QByteArray &versionReply = QByteArray());
    void useTestPanel();
    void openTestPanel();
    QAction *action(const char *name) const { return m_window->findChild<QAction *>(QLatin1String(name)); }
    QListWidget *list() const { return m_window->findChild<QListWidget *>(QStringLiteral("listWidget")); }
    QString status() const { return m_window->statusBar()->currentMessage(); }

    MainWindow *m_window = nullptr;
    SimulatedDevice *m_sim = nullptr;
    QList<Dev_info> m_devices;
    QList<MessageBoxes::Request> m_boxes;
    std::function<void()> m_duringBox;
};

void TestMainWindow::init()
{
    m_devices.clear();
    m_boxes.clear();
    m_duringBox = nullptr;
    MessageBoxes::setResponder([this](const MessageBoxes::Request &request) {
        m_boxes.append(request);
        if (m_duringBox)
            m_duringBox();
        return QMessageBox::Ok;
    });
    m_sim = new SimulatedDevice(SimulatedDevice::Model::Tq24);
    QVERIFY2(m_sim->open(), qPrintable(m_sim->errorString()));
    m_window = new MainWindow;
    m_window->setDeviceScanner([this] { return m_devices; });
    // The log window shown and its gate open, so the test reads what the tool logs from then on.
    QVERIFY(g_logWindow);
    g_logWindow->show();
    g_logWindow->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(QStringLiteral("quirbentol57"));
    g_logWindow->checkPassword();
    QVERIFY(g_logWindow->isUnlocked());
}

void TestMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
    delete m_sim;
    m_sim = nullptr;
    PanelDispatch::setFactory(24, {});
    MessageBoxes::setResponder({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(TestPanel::s_alive, 0);
}

void TestMainWindow::openSimulatedDevice(const QByteArray &versionReply)
{
    if (!versionReply.isEmpty())
        m_sim->setVersionReply(versionReply);
    m_devices = {{m_sim->portName(), QStringLiteral("SIM-TQ24-0001")}};
    m_window->checkConnection();
    QCOMPARE(list()->count(), 1);
    QCOMPARE(list()->item(0)->text(), QStringLiteral("[%1] - SIM-TQ24-0001").arg(m_sim->portName()));
    emit list()->itemActivated(list()->item(0));
    QVERIFY(m_window->isDeviceOpen() || !m_boxes.isEmpty());
}

void TestMainWindow::useTestPanel()
{
    PanelDispatch::setFactory(24, [](const QString &text, int version, const QString &serial, QWidget *parent) {
        return static_cast<QWidget *>(new TestPanel(text, version, serial, parent));
    });
}

void TestMainWindow::openTestPanel()
{
    useTestPanel();
    openSimulatedDevice();
    QTRY_VERIFY(m_window->panel());
}

void TestMainWindow::start_showsListWithRateDisabledAndOnlyCheckTimerRunning()
{
    QVERIFY(m_window->deviceList()->isVisibleTo(m_window));
    QVERIFY(action("action1s")->isChecked());
    QVERIFY(!action("action500ms")->isChecked());
    QVERIFY(!m_window->pollTimer()->isActive());
    QVERIFY(m_window->checkTimer()->isActive());
    // Without a panel the controls are the Rate menu only; the rest stays usable.
    for (int step = 0; step < 3; ++step) { // at start, enabled, disabled again
        const bool on = step == 1;
        if (step > 0)
            m_window->setControlsEnabled(on);
        for (const char *name : {"action500ms", "action1s", "action2s", "action10s"})
            QVERIFY2(action(name)->isEnabled() == on, name);
    }
    for (const char *name : {"actionLog_Window", "actionExit", "actionClose_TQ_Device"})
        QVERIFY2(action(name)->isEnabled(), name);
    // Closing with no device open stops the poll and keeps the list.
    action("actionClose_TQ_Device")->trigger();
    QCOMPARE(status(), QStringLiteral("Timer Stop."));
    QVERIFY(m_window->deviceList()->isVisibleTo(m_window));
}

void TestMainWindow::rate_choices_restartPollingAndKeepOneCheckMark()
{
    m_window->setControlsEnabled(true);
    m_window->setPollTimerActive(true);
    QCOMPARE(m_window->pollTimer()->interval(), 1000);
    action("action10s")->trigger();
    QVERIFY(m_window->pollTimer()->isActive());
    QCOMPARE(m_window->pollTimer()->interval(), 10000);
    QCOMPARE(m_window->pollPeriodMs(), 10000);
    for (const char *name : {"action500ms", "action1s", "action2s"})
        QVERIFY2(!action(name)->isChecked(), name);
    QVERIFY(action("action10s")->isChecked());

    // Choosing the checked entry again removes its mark; the period stays.
    action("action10s")->trigger();
    QVERIFY(!action("action10s")->isChecked());
    QCOMPARE(m_window->pollTimer()->interval(), 10000);

    // A choice while polling is stopped starts it.
    m_window->setPollTimerActive(false);
    QCOMPARE(status(), QStringLiteral("Timer Stop."));
    action("action500ms")->trigger();
    QVERIFY(m_window->pollTimer()->isActive());
    QCOMPARE(m_window->pollTimer()->interval(), 500);
    m_window->setPollTimerActive(false);
    m_window->setPollTimerActive(true);
    QCOMPARE(m_window->pollTimer()->interval(), 500);
}

void TestMainWindow::scan_devicesComeAndGo_listFollowsWithinOneCheck()
{
    m_devices = {{"COM5", "SN-A"}, {"COM7", "SN-B"}, {"COM9", "SN-C"}};
    QTRY_COMPARE_WITH_TIMEOUT(list()->count(), 3, 1500);
    QCOMPARE(list()->item(0)->text(), QStringLiteral("[COM5] - SN-A"));
    QCOMPARE(list()->item(1)->data(Qt::StatusTipRole).toString(), QStringLiteral("COM7"));
    QCOMPARE(list()->item(1)->data(Qt::ToolTipRole).toString(), QStringLiteral("SN-B"));
    QVERIFY(!m_window->isDeviceOpen());

    m_devices = {{"COM7", "SN-B"}, {"COM3", "SN-D"}};
    m_window->checkConnection();
    QCOMPARE(list()->count(), 2);
    QCOMPARE(list()->item(0)->text(), QStringLiteral("[COM7] - SN-B"));
    QCOMPARE(list()->item(1)->text(), QStringLiteral("[COM3] - SN-D"));
    // An unplugged device that was never opened leaves no trace in the log.
    QVERIFY(!logText().contains(QStringLiteral("all serialport is down.")));
}

void TestMainWindow::addDevices_entryContainingNewText_preventsNewEntry()
{
    SelectDevice select;
    select.addDevices({{"COM5", "SN-1234"}});
    select.addDevices({{"COM5", "SN-12"}, {"COM5", "SN-1234"}});
    auto *listWidget = select.findChild<QListWidget *>(QStringLiteral("listWidget"));
    QCOMPARE(listWidget->count(), 1);
    // Removal compares whole texts: the shorter serial does not keep the longer entry alive.
    select.removeMissingDevices({{"COM5", "SN-12"}});
    QCOMPARE(listWidget->count(), 0);
}

void TestMainWindow::activate_emptySerial_openDeviceError()
{
    m_window->onDeviceSelected(Dev_info{QStringLiteral("COM5"), QString()});
    QCOMPARE(status(), QStringLiteral("Open device Error!"));
    QVERIFY(!m_window->isDeviceOpen());
    QVERIFY(logText().contains(QStringLiteral(": exit")));
}

void TestMainWindow::activate_missingPort_cannotOpenMessage()
{
    m_devices = {{"/dev/tq-no-such-port", "SN-X"}};
    m_window->checkConnection();
    QSignalSpy selected(m_window->deviceList(), &SelectDevice::selectedDevice);
    emit list()->itemActivated(list()->item(0));
    QCOMPARE(selected.count(), 1);
    // The reason follows the text: a missing port and a file that is no serial port read apart.
    const QString missing = status();
    QVERIFY2(missing.startsWith(QStringLiteral("Can't opened the serial port:[/dev/tq-no-such-port],serial no:[SN-X] ")) &&
                 missing.size() > 62,
             qPrintable(missing));
    QVERIFY(!m_window->isDeviceOpen());
    QVERIFY(m_window->deviceList()->isVisibleTo(m_window));

    QTemporaryFile notAPort;
    QVERIFY(notAPort.open());
    m_window->onDeviceSelected(Dev_info{notAPort.fileName(), QStringLiteral("SN-Y")});
    QVERIFY(!m_window->isDeviceOpen());
    QVERIFY(status().section(QLatin1String("] "), 1) != missing.section(QLatin1String("] "), 1));
}

void TestMainWindow::close_destroysLogWindowAndLogsStop()
{
    QPointer<LogWindow> log = g_logWindow;
    QSignalSpy stopped(log.data(), &QObject::destroyed);
    m_window->close();
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!g_logWindow);
    QVERIFY(!m_window->checkTimer()->isActive());
    qDebug("after close"); // must go nowhere, and must not crash
}

void TestMainWindow::activate_sendsExactlyTheVersionQuery()
{
    m_sim->setResponding(false);
    openSimulatedDevice();
    QVERIFY(m_window->isDeviceOpen());
    QTRY_COMPARE(m_sim->receivedBytes(), QByteArray("ATCVER\r\n"));
    QTest::qWait(150);
    QCOMPARE(m_sim->receivedBytes(), QByteArray("ATCVER\r\n"));
    QVERIFY(status().startsWith(QStringLiteral("the TQ Series Devices were found. - [")));
    QVERIFY(!m_window->deviceList()->isVisibleTo(m_window));
    QVERIFY(!m_window->pollTimer()->isActive());
}

// A device that never answers "ATCVER": the time-out is told; a device gone first is not called silent.
void TestMainWindow::versionUnanswered_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::addColumn<QString>("status");
    QTest::newRow("time-out") << false << "error! the device did not answer ATCVER.";
    QTest::newRow("unplugged first") << true << "Timer Stop.";
}

void TestMainWindow::versionUnanswered()
{
    QFETCH(bool, unplug);
    QFETCH(QString, status);
    m_sim->setResponding(false);
    m_window->session()->conversation()->setDefaultTimeoutMs(unplug ? 10000 : 200);
    openSimulatedDevice();
    QTRY_COMPARE(m_sim->receivedBytes(), QByteArray("ATCVER\r\n"));
    if (unplug) {
        m_devices.clear();
        m_window->checkConnection();
        QVERIFY(!m_window->isDeviceOpen());
    }
    QTest::qWait(400);
    QCOMPARE(this->status().section(QLatin1String(" - ["), 0, 0), status);
}

void TestMainWindow::unsupportedReply_boxThenPortClosedAndListBack_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("unknown model") << QByteArray("ATCVER TQ23-1v0");
    QTest::newRow("model without a panel") << QByteArray("ATCVER TQ24-1v5");
}

void TestMainWindow::unsupportedReply_boxThenPortClosedAndListBack()
{
    QFETCH(QByteArray, reply);
    bool openDuringBox = false;
    m_duringBox = [&] { openDuringBox = m_window->isDeviceOpen(); };
    openSimulatedDevice(reply);
    QTRY_COMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].title + '|' + m_boxes[0].text, QStringLiteral("ERROR|error! This device is not supported..."));
    QVERIFY(openDuringBox);
    QVERIFY(!m_window->isDeviceOpen());
    QVERIFY(m_window->deviceList()->isVisibleTo(m_window));
    QVERIFY(!m_window->panel());
    QVERIFY(status().startsWith(QStringLiteral("Timer Stop.")));
    QCOMPARE(m_window->pollCommand(), QByteArray("ATCD\r\n"));
    const QString log = logText();
    QVERIFY(log.indexOf(QStringLiteral("get Version Error")) <
            log.lastIndexOf(QStringLiteral("closeLumaWeaveDevice()")));
}

void TestMainWindow::supportedReply_panelGetsLinesAndPollsGoOut()
{
    useTestPanel();
    m_sim->setResponding(false);
    openSimulatedDevice();
    QTRY_COMPARE(m_sim->receivedCommands().size(), 1);
    m_sim->sendRaw("ATCVER TQ24-1v5\r\n");
    QTRY_VERIFY(m_window->panel());
    auto *panel = static_cast<TestPanel *>(m_window->panel());
    QCOMPARE(panel->versionText, QStringLiteral("TQ24-1v5"));
    QCOMPARE(panel->version, 15);
    QCOMPARE(panel->serial, QStringLiteral("SIM-TQ24-0001"));
    QCOMPARE(panel->parentWidget(), m_window->centralWidget());
    QVERIFY(panel->isVisibleTo(m_window));
    QCOMPARE(m_window->pollCommand(), QByteArray("ATCH\r\n"));

    // A reply split over two writes reaches the panel once, whole; CR LF only lines reach nothing.
    m_sim->sendRaw("ATCOFF1 1.5");
    QTest::qWait(50);
    m_sim->sendRaw("0\r\n\r\nATCH 12.5,----,24.0\r\n");
    QTRY_COMPARE(panel->lines, (QStringList{"ATCOFF11.50", "ATCH12.5,----,24.0"}));

    m_sim->clearTranscript();
    m_sim->setResponding(true);
    m_window->setPollPeriodMs(500);
    m_window->setPollTimerActive(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->receivedCommands().size() >= 2, 2000);
    QCOMPARE(m_sim->receivedCommands().first(), QByteArray("ATCH\r\n"));
    QCOMPARE(panel->polls.first(), QByteArray("ATCH\r\n"));
    QTRY_VERIFY(panel->lines.size() > 2); // the simulator's live values came back

    m_window->setControlsEnabled(false);
    QCOMPARE(panel->inputsEnabled.last(), false);
}

void TestMainWindow::secondVersionReply_ignoredWhilePanelExists()
{
    openTestPanel();
    AbstractCalibrator *first = m_window->panel();
    m_sim->sendRaw("ATCVER TQ24-1v6\r\n>ATCVER TQ24-1v6\r\nATCD 1\r\n"); // also after line noise
    QTRY_COMPARE(static_cast<TestPanel *>(first)->lines, QStringList{"ATCD1"});
    QCOMPARE(m_window->panel(), first);
    QCOMPARE(TestPanel::s_alive, 1);
    QVERIFY(logText().contains(QStringLiteral("version reply ignored")));
}

void TestMainWindow::deviceVanishesFromScan_closedWithLogLine()
{
    openTestPanel();
    m_devices.clear();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isDeviceOpen(), 1500);
    QVERIFY(logText().contains(QStringLiteral("[DEBUG] : all serialport is down.")));
    QVERIFY(!m_window->panel());
    QVERIFY(m_window->deviceList()->isVisibleTo(m_window));
    QTRY_COMPARE(TestPanel::s_alive, 0);
    QVERIFY(status().startsWith(QStringLiteral("Timer Stop.")));
    // The falling edge closes once: later scans log nothing more.
    const int downs = logText().count(QStringLiteral("all serialport is down."));
    m_window->checkConnection();
    QCOMPARE(logText().count(QStringLiteral("all serialport is down.")), downs);
}

void TestMainWindow::deviceUnpluggedDuringPanelBox_panelOutlivesTheBox()
{
    openTestPanel();
    auto *panel = static_cast<TestPanel *>(m_window->panel());
    bool panelAliveAfterBox = false;
    panel->onLine = [&](TestPanel *self, const QString &) {
        QPointer<TestPanel> guard(self);
        MessageBoxes::critical(self, QStringLiteral("ERROR"), QStringLiteral("error!"));
        panelAliveAfterBox = !guard.isNull();
        if (guard)
            self->lines.append(QStringLiteral("resumed"));
    };
    m_duringBox = [this] {
        // What a nested event loop would do while the box is open: the next scan misses the device.
        m_devices.clear();
        m_window->checkConnection();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(TestPanel::s_alive, 1);
    };
    m_sim->sendRaw("ATCOFF1 2.00\r\n");
    QTRY_VERIFY(m_boxes.size() == 1);
    QVERIFY(panelAliveAfterBox);
    QVERIFY(!m_window->isDeviceOpen());
    QTRY_COMPARE(TestPanel::s_alive, 0);
}

void TestMainWindow::stalePortError_newDeviceStaysOpen_ownPortErrorClosesIt()
{
    openTestPanel();
    auto *oldPort = m_window->findChild<QSerialPort *>();
    QVERIFY(oldPort);
    // The old port's error is queued; the device is opened anew before it is delivered.
    emit oldPort->errorOccurred(QSerialPort::ResourceError);
    m_window->onDeviceSelected(m_devices.first());
    QTRY_VERIFY(m_window->panel());
    QTest::qWait(100);
    QVERIFY(m_window->isDeviceOpen());
    QVERIFY(m_window->panel());

    m_sim->close();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isDeviceOpen(), 3000);
    QVERIFY(!m_window->panel());
}

QTEST_MAIN(TestMainWindow)
// Without a lab database the bench's own file tells: a zero calibration 14 months ago is overdue
// under the default interval of 12 months.
void TestMainWindow::connect_overdueSensor_shownAbovePanelAndInStatusBar()
{
    qputenv("TQ_RECORDS_URL", "");
    CalibrationEvent calibration{QStringLiteral("action"), QStringLiteral("TQ24"), QStringLiteral("SIM-TQ24-0001")};
    calibration.setting = calibration.command = QStringLiteral("ATCCZR");
    calibration.outcome = QStringLiteral("confirmed");
    calibration.time = QDateTime::currentDateTimeUtc().addMonths(-14);
    QVERIFY(m_window->calibrationRecord()->append(calibration));
    const QString due = calibration.time.date().addMonths(12).toString(Qt::ISODate);

    openTestPanel();
    auto *label = m_window->findChild<QLabel *>(QStringLiteral("label_due"));
    QVERIFY(label);
    QTRY_VERIFY(label->isVisibleTo(m_window));
    QCOMPARE(label->text(), QStringLiteral("TQ24 SIM-TQ24-0001 is overdue for calibration since %1").arg(due));
    QVERIFY2(status().contains(label->text()), qPrintable(status()));
    m_window->closeLumaWeaveDevice();
    QVERIFY(!label->isVisibleTo(m_window));
}

#include "tst_mainwindow.moc"
