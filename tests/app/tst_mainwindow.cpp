#include "app/selectdevice.h"
#include "mainwindowtesting.h"

#include <QAction>
#include <QListWidget>
#include <QStatusBar>
#include <QTimer>
#include <QTemporaryFile>
#include <QtTest>

// The main window without a serial device: menus, timers and the device list.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void start_showsListWithRateDisabledAndOnlyCheckTimerRunning();
    void rate_choices_restartPollingAndKeepOneCheckMark();
    void closeDevice_withNoDevice_statusAndLogTimerStop();
    void scan_devicesComeAndGo_listFollowsWithinOneCheck();
    void addDevices_entryContainingNewText_preventsNewEntry();
    void activate_emptySerial_openDeviceError();
    void activate_missingPort_cannotOpenMessage();
    void close_destroysLogWindowAndLogsStop();

private:
    QAction *action(const char *name) const { return m_window->findChild<QAction *>(QLatin1String(name)); }
    QListWidget *list() const { return m_window->findChild<QListWidget *>(QStringLiteral("listWidget")); }
    QString status() const { return m_window->statusBar()->currentMessage(); }

    MainWindow *m_window = nullptr;
    QList<Dev_info> m_devices;
};

void TestMainWindow::init()
{
    pollIntervalMs = 1000;
    m_devices.clear();
    m_window = new MainWindow;
    m_window->setDeviceScanner([this] { return m_devices; });
    unlockLog();
}

void TestMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
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
}

void TestMainWindow::rate_choices_restartPollingAndKeepOneCheckMark()
{
    m_window->setControlsEnabled(true);
    m_window->setPollTimerActive(true);
    QCOMPARE(m_window->pollTimer()->interval(), 1000);
    action("action10s")->trigger();
    QVERIFY(m_window->pollTimer()->isActive());
    QCOMPARE(m_window->pollTimer()->interval(), 10000);
    QCOMPARE(pollIntervalMs, 10000);
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
}

void TestMainWindow::closeDevice_withNoDevice_statusAndLogTimerStop()
{
    action("actionClose_TQ_Device")->trigger();
    QCOMPARE(status(), QStringLiteral("Timer Stop."));
    QVERIFY(logText().contains(QStringLiteral("[DEBUG] : closeLumaWeaveDevice()")));
    QVERIFY(logText().contains(QStringLiteral("[DEBUG] : Timer Stop.")));
    QVERIFY(m_window->deviceList()->isVisibleTo(m_window));
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
