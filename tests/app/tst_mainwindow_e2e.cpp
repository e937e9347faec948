#include "app/selectdevice.h"
#include "mainwindowtesting.h"
#include "tools/tq-sim/simulateddevice.h"

#include <QListWidget>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

// The real main window and a real serial port talking to the simulator on a pseudo-terminal.
class TestMainWindowE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void activate_sendsExactlyTheVersionQuery();
    void unsupportedReply_boxThenPortClosedAndListBack_data();
    void unsupportedReply_boxThenPortClosedAndListBack();
    void supportedReply_panelGetsLinesAndPollsGoOut();
    void secondVersionReply_ignoredWhilePanelExists();
    void deviceVanishesFromScan_closedWithLogLine();
    void deviceUnpluggedDuringPanelBox_panelOutlivesTheBox();
    void stalePortError_newDeviceStaysOpen_ownPortErrorClosesIt();

private:
    void openSimulatedDevice(const QByteArray &versionReply = QByteArray());
    QString status() const { return m_window->statusBar()->currentMessage(); }

    MainWindow *m_window = nullptr;
    SimulatedDevice *m_sim = nullptr;
    QList<Dev_info> m_devices;
    QList<MessageBoxes::Request> m_boxes;
    std::function<void()> m_duringBox;
};

void TestMainWindowE2e::init()
{
    pollIntervalMs = 1000;
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
    m_devices = {{m_sim->portName(), QStringLiteral("SIM-TQ24-0001")}};
    m_window = new MainWindow;
    m_window->setDeviceScanner([this] { return m_devices; });
    unlockLog();
}

void TestMainWindowE2e::cleanup()
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

void TestMainWindowE2e::openSimulatedDevice(const QByteArray &versionReply)
{
    if (!versionReply.isEmpty())
        m_sim->setVersionReply(versionReply);
    m_window->checkConnection();
    auto *list = m_window->findChild<QListWidget *>(QStringLiteral("listWidget"));
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("[%1] - SIM-TQ24-0001").arg(m_sim->portName()));
    emit list->itemActivated(list->item(0));
    QVERIFY(m_window->isDeviceOpen() || !m_boxes.isEmpty());
}

void TestMainWindowE2e::activate_sendsExactlyTheVersionQuery()
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
    QVERIFY(logText().contains(QStringLiteral("writeData(\" \"ATCVER[CR][LF]\" \") success.")));
    QVERIFY(
        logText().contains(QStringLiteral("serial port:[ \"%1\" ],serial no:[ \"SIM-TQ24-0001\" ] opened!")
                               .arg(m_sim->portName())));
}

void TestMainWindowE2e::unsupportedReply_boxThenPortClosedAndListBack_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("unknown model") << QByteArray("ATCVER TQ23-1v0");
    QTest::newRow("model without a panel") << QByteArray("ATCVER TQ24-1v5");
}

void TestMainWindowE2e::unsupportedReply_boxThenPortClosedAndListBack()
{
    QFETCH(QByteArray, reply);
    bool openDuringBox = false;
    m_duringBox = [&] { openDuringBox = m_window->isDeviceOpen(); };
    openSimulatedDevice(reply);
    QTRY_COMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(m_boxes[0].title, QStringLiteral("ERROR"));
    QCOMPARE(m_boxes[0].text, QStringLiteral("error! This device is not supported..."));
    QCOMPARE(m_boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
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

void TestMainWindowE2e::supportedReply_panelGetsLinesAndPollsGoOut()
{
    PanelDispatch::setFactory(24, testPanelFactory());
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
    pollIntervalMs = 500;
    m_window->setPollTimerActive(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->receivedCommands().size() >= 2, 2000);
    QCOMPARE(m_sim->receivedCommands().first(), QByteArray("ATCH\r\n"));
    QCOMPARE(panel->polls.first(), QByteArray("ATCH\r\n"));
    QTRY_VERIFY(panel->lines.size() > 2); // the simulator's live values came back

    m_window->setControlsEnabled(false);
    QCOMPARE(panel->inputsEnabled.last(), false);
}

void TestMainWindowE2e::secondVersionReply_ignoredWhilePanelExists()
{
    PanelDispatch::setFactory(24, testPanelFactory());
    openSimulatedDevice();
    QTRY_VERIFY(m_window->panel());
    AbstractCalibrator *first = m_window->panel();
    m_sim->sendRaw("ATCVER TQ24-1v6\r\nATCD 1\r\n");
    QTRY_COMPARE(static_cast<TestPanel *>(first)->lines, QStringList{"ATCD1"});
    QCOMPARE(m_window->panel(), first);
    QCOMPARE(TestPanel::s_alive, 1);
    QVERIFY(logText().contains(QStringLiteral("version reply ignored")));
}

void TestMainWindowE2e::deviceVanishesFromScan_closedWithLogLine()
{
    PanelDispatch::setFactory(24, testPanelFactory());
    openSimulatedDevice();
    QTRY_VERIFY(m_window->panel());
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

void TestMainWindowE2e::deviceUnpluggedDuringPanelBox_panelOutlivesTheBox()
{
    PanelDispatch::setFactory(24, testPanelFactory());
    openSimulatedDevice();
    QTRY_VERIFY(m_window->panel());
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

void TestMainWindowE2e::stalePortError_newDeviceStaysOpen_ownPortErrorClosesIt()
{
    PanelDispatch::setFactory(24, testPanelFactory());
    openSimulatedDevice();
    QTRY_VERIFY(m_window->panel());
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

QTEST_MAIN(TestMainWindowE2e)
#include "tst_mainwindow_e2e.moc"
