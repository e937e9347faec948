#include "device/devicemodels.h"
#include "panels/benchharness.h"

#include <QTabWidget>

// The bench over every registered model at once, each row showing its device, and devices coming
// back: on the same path, on a new port, and another serial on the old path, in the bench and in
// the single-device window.
class TestBench : public QObject
{
    Q_OBJECT
private:
    // A device of every registered model on the bench, each identified, read and polled, as its
    // row and panel show.
    void openEveryModel(BenchHarness &h, QStringList *serials);

private slots:
    void deviceBack_data();
    void deviceBack();
    void mainWindow_otherSerialIgnored_sameSerialOnNewPortBack();
};

namespace {

QString serialOf(int model)
{
    return QStringLiteral("BENCH-%1").arg(model);
}

} // namespace

void TestBench::openEveryModel(BenchHarness &h, QStringList *serialList)
{
    const QList<int> models = PanelDispatch::panelModels();
    QStringList &serials = *serialList;
    for (int model : models) {
        h.add(model, serialOf(model));
        serials << serialOf(model);
    }
    h.window->checkDevices();
    QVERIFY(h.waitState(serials, DeviceHost::State::Ready, 10000));
    // A few samples in, each row shows its device as read and polled.
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QString &serial : serials) {
                if (h.host(serial)->liveSampleCount() < Stability::kMinSamples)
                    return false;
            }
            return true;
        },
        5000));
    for (int i = 0; i < models.size(); ++i) {
        DeviceHost *host = h.host(serials.at(i));
        QCOMPARE(h.window->cellText(host, BenchWindow::ModelColumn), DeviceModels::name(models.at(i)));
        QCOMPARE(h.window->cellText(host, BenchWindow::PortColumn), h.sims.at(i)->portName());
        QCOMPARE(h.window->cellText(host, BenchWindow::StateColumn), QStringLiteral("ready"));
        QVERIFY(!h.window->cellText(host, BenchWindow::FirmwareColumn).isEmpty());
        QVERIFY2(h.window->cellText(host, BenchWindow::ValuesColumn).contains(QRegularExpression("\\d")),
                 qPrintable(h.window->cellText(host, BenchWindow::ValuesColumn)));
        QVERIFY(!h.window->cellText(host, BenchWindow::StabilityColumn).isEmpty());
        const bool readsTime = host->panel()->refreshOrder().contains(Cmd::ATCEXTM);
        QCOMPARE(!h.window->cellText(host, BenchWindow::CalibrationColumn).isEmpty(), readsTime);
        // Its panel is a click away, read and open to edits.
        QVERIFY(host->panel()->findChild<QWidget *>(QStringLiteral("doubleSpinBox_offset_ch1"))->isEnabled());
        h.window->showPanel(host);
        QCOMPARE(h.window->findChild<QTabWidget *>()->currentWidget(), host);
        QVERIFY(h.keptPeriod(serials.at(i), 0));
    }
}

void TestBench::deviceBack_data()
{
    QTest::addColumn<QString>("back");
    for (const char *back : {"same path", "new port", "another serial on the old path"})
        QTest::newRow(back) << QString::fromLatin1(back);
}

void TestBench::deviceBack()
{
    QFETCH(QString, back);
    BenchHarness h;
    const QList<int> models = PanelDispatch::panelModels();
    QStringList serials;
    openEveryModel(h, &serials);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QString &serial : serials) {
                if (BenchHarness::chartTimes(h.host(serial)->panel()).size() < 2)
                    return false;
            }
            return true;
        },
        3000));
    QMap<QString, QPointer<Calibrator>> panels;
    QMap<QString, double> firstSample;
    for (const QString &serial : serials) {
        panels.insert(serial, h.host(serial)->panel());
        firstSample.insert(serial, BenchHarness::chartTimes(panels.value(serial)).value(0, -1));
        h.unplug(serial);
        QCOMPARE(h.window->cellText(h.host(serial), BenchWindow::StateColumn), QStringLiteral("gone"));
    }
    QTest::qWait(BenchHarness::kPollPeriodMs);
    const int devices = h.window->hosts().size();
    for (int i = 0; i < models.size(); ++i) {
        const QString oldPort = h.sims.at(i)->portName();
        if (back == QLatin1String("same path"))
            h.list(oldPort, serials.at(i));
        else if (back == QLatin1String("new port"))
            h.add(models.at(i), serials.at(i));
        else
            h.list(oldPort, QStringLiteral("OTHER-%1").arg(i));
    }
    h.window->checkDevices();

    if (back.startsWith(QLatin1String("another serial"))) {
        QStringList others;
        for (int i = 0; i < models.size(); ++i)
            others << QStringLiteral("OTHER-%1").arg(i);
        QVERIFY(h.waitState(others, DeviceHost::State::Ready, 5000));
        QCOMPARE(h.window->hosts().size(), 2 * devices);
        for (const QString &serial : serials) {
            QCOMPARE(h.host(serial)->state(), DeviceHost::State::Gone);
            QCOMPARE(h.host(serial)->panel(), panels.value(serial).data());
        }
        return;
    }
    QVERIFY(h.waitState(serials, DeviceHost::State::Ready, 5000));
    QCOMPARE(h.window->hosts().size(), devices);
    for (int i = 0; i < models.size(); ++i) {
        DeviceHost *host = h.host(serials.at(i));
        const QString port = back == QLatin1String("new port") ? h.sims.at(models.size() + i)->portName()
                                                               : h.sims.at(i)->portName();
        QCOMPARE(host->device().port, port);
        QCOMPARE(host->panel(), panels.value(serials.at(i)).data());
        // The chart goes on after the gap with its earlier samples, and the record goes on.
        QVERIFY(QTest::qWaitFor([&] { return BenchHarness::chartTimes(host->panel()).size() >= 3; }, 3000));
        QCOMPARE(BenchHarness::chartTimes(host->panel()).first(), firstSample.value(serials.at(i)));
        QCOMPARE(h.recordedReads(serials.at(i)), 2);
    }
}

// The single-device window with its panel open, no trip back to the list: another serial on the
// old path does not take the panel; the same serial on a new port does.
void TestBench::mainWindow_otherSerialIgnored_sameSerialOnNewPortBack()
{
    registerPanels();
    const int model = PanelDispatch::panelModels().constLast();
    PanelHarness h(simulatedModel(model));
    h.window->setPollPeriodMs(BenchHarness::kPollPeriodMs);
    QVERIFY(h.openIdle());
    QPointer<Calibrator> panel = h.panel<Calibrator>();
    QVERIFY(QTest::qWaitFor([&] { return BenchHarness::chartTimes(panel).size() >= 2; }, 3000));
    const double firstSample = BenchHarness::chartTimes(panel).first();
    h.unplug();
    QVERIFY(!h.window->panelWidget() && panel && !h.window->isDeviceOpen());
    QVERIFY(h.status().startsWith(QStringLiteral("gone")));

    h.devices = {{h.sim->portName(), QStringLiteral("OTHER")}};
    h.window->checkConnection();
    // A wrong re-attach would open the port at once.
    QVERIFY(!h.window->panelWidget() && !h.window->isDeviceOpen() && panel);

    SimulatedDevice moved(simulatedModel(model));
    QVERIFY(moved.open());
    h.devices.append({moved.portName(), h.serial});
    h.window->checkConnection();
    QVERIFY(h.waitIdle(5000));
    QCOMPARE(h.panel<Calibrator>(), panel.data());
    QCOMPARE(h.window->openPortName(), moved.portName());
    QVERIFY(!h.window->deviceList()->isVisibleTo(h.window));
    const int before = BenchHarness::chartTimes(panel).size();
    QVERIFY(QTest::qWaitFor([&] { return BenchHarness::chartTimes(panel).size() > before; }, 3000));
    QCOMPARE(BenchHarness::chartTimes(panel).first(), firstSample);
}

QTEST_MAIN(TestBench)
#include "tst_bench.moc"
