#include "device/devicemodels.h"
#include "panels/benchharness.h"

#include <QTabWidget>

// The bench over every registered model at once, and devices coming back: on the same path, on a
// new port, and another serial on the old path, in the bench and in the single-device window.
class TestBench : public QObject
{
    Q_OBJECT
private slots:
    void everyModel_identifiedRefreshedPolledInItsRow();
    void deviceBack_data();
    void deviceBack();
    void mainWindow_deviceBack_data();
    void mainWindow_deviceBack();
};

namespace {

QString serialOf(int model)
{
    return QStringLiteral("BENCH-%1").arg(model);
}

} // namespace

void TestBench::everyModel_identifiedRefreshedPolledInItsRow()
{
    BenchHarness h;
    const QList<int> models = PanelDispatch::panelModels();
    QStringList serials;
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
    for (int model : models) {
        h.add(model, serialOf(model));
        serials << serialOf(model);
    }
    h.window->checkDevices();
    QVERIFY(h.waitState(serials, DeviceHost::State::Ready, 10000));
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

void TestBench::mainWindow_deviceBack_data()
{
    // The same path is the bench's case above; the window's own scan is the same for any port.
    QTest::addColumn<QString>("back");
    QTest::addColumn<int>("index"); // the model, in registry order
    QTest::newRow("new port") << QStringLiteral("new port") << 1;
    QTest::newRow("another serial on the old path") << QStringLiteral("another serial on the old path") << 2;
}

// The single-device window with its panel open: no trip back to the list.
void TestBench::mainWindow_deviceBack()
{
    QFETCH(QString, back);
    QFETCH(int, index);
    registerPanels();
    const QList<int> models = PanelDispatch::panelModels();
    const int model = models.at(index % models.size());
    PanelHarness h(simulatedModel(model));
    h.window->setPollPeriodMs(BenchHarness::kPollPeriodMs);
    QVERIFY(h.openIdle());
    QPointer<Calibrator> panel = h.panel<Calibrator>();
    QVERIFY(QTest::qWaitFor([&] { return BenchHarness::chartTimes(panel).size() >= 2; }, 3000));
    const double firstSample = BenchHarness::chartTimes(panel).first();
    h.unplug();
    QVERIFY(!h.window->panelWidget() && panel && !h.window->isDeviceOpen());
    QVERIFY(h.status().startsWith(QStringLiteral("gone")));

    std::unique_ptr<SimulatedDevice> moved;
    if (back == QLatin1String("new port")) {
        moved = std::make_unique<SimulatedDevice>(simulatedModel(model));
        QVERIFY(moved->open());
        h.devices = {{moved->portName(), h.serial}};
    } else {
        h.devices = {
            {h.sim->portName(), back == QLatin1String("same path") ? h.serial : QStringLiteral("OTHER")}};
    }
    h.window->checkConnection();
    if (back.startsWith(QLatin1String("another serial"))) {
        // A wrong re-attach would open the port at once.
        QTest::qWait(BenchHarness::kPollPeriodMs);
        QVERIFY(!h.window->panelWidget() && !h.window->isDeviceOpen() && panel);
        return;
    }
    QVERIFY(h.waitIdle(5000));
    QCOMPARE(h.panel<Calibrator>(), panel.data());
    QVERIFY(!h.window->deviceList()->isVisibleTo(h.window));
    const int before = BenchHarness::chartTimes(panel).size();
    QVERIFY(QTest::qWaitFor([&] { return BenchHarness::chartTimes(panel).size() > before; }, 3000));
    QCOMPARE(BenchHarness::chartTimes(panel).first(), firstSample);
}

QTEST_MAIN(TestBench)
#include "tst_bench.moc"
