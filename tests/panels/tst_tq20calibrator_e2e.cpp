#include "app/mainwindowtesting.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panelharness.h"
#include "panels/tq20calibrator.h"

#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QRadioButton>
#include <QSerialPort>
#include <QSpinBox>

namespace {

const QList<QByteArray> kFullRefresh = {"ATCMODE\r\n", "ATCOFF1\r\n", "ATCOFF2\r\n",
                                        "ATCVOCU\r\n", "ATCCU\r\n",   "ATCWIN\r\n",
                                        "ATCEXTM\r\n", "ATCUSED\r\n", "ATCBLDTM\r\n"};
const QStringList kGatedBoxes = {
    "groupBox_usercal",   "groupBox_factorycal",           "groupBox_sensitivity",
    "groupBox_unit_ch1",  "groupBox_last_calib_timestamp", "groupBox_usedtime",
    "groupBox_build_time"};
const QString kSuccess = QStringLiteral("SUCCESS|Success...");
const QString kRetry = QStringLiteral("FAIL|Please retry...");
const QString kFactoryQuestion = QStringLiteral("Factory Calibration|Do you want to calibrate for 12 hours?");
const QString kFactoryStarted =
    QStringLiteral("SUCCESS|Unplug the sensor and plug it in again.\nNormal operation after 12 hours.");

} // namespace

// The TQ20 panel against the simulator at each firmware generation, through the main window.
class TestTq20CalibratorE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_h.reset(); }
    void refresh_readsWhatTheFirmwareHasInOrder_data();
    void refresh_readsWhatTheFirmwareHasInOrder();
    void sensorModes_titlesUnitsAndSuffixes_data();
    void sensorModes_titlesUnitsAndSuffixes();
    void unitClicks_sendFirmwareCodesAndShowConfirmedUnit_data();
    void unitClicks_sendFirmwareCodesAndShowConfirmedUnit();
    void unitOutsideCoding_showsNoUnitAndWarns();
    void unknownSensorMode_endsRefreshWithBox();
    void sensorModeWrite_confirmed_failedShowsBoxThenRefreshes();
    void calibrations_okRefusedDeclined_data();
    void calibrations_okRefusedDeclined();
    void liveLines_missingFieldIsGapNotZero();

private:
    bool open(const QByteArray &firmware)
    {
        m_h->sim->setFirmware(firmware);
        return m_h->openPanel() && panel() && m_h->waitIdle();
    }
    Tq20Calibrator *panel() const { return m_h->panel<Tq20Calibrator>(); }
    template <typename T = QAbstractButton> T *child(const QString &name) const
    {
        return panel()->findChild<T *>(name);
    }
    QString text(const char *label) const { return child<QLabel>(QLatin1String(label))->text(); }
    QString status() const { return m_h->status().section(QLatin1String(" - ["), 0, 0); }

    std::unique_ptr<PanelHarness> m_h;
};

void TestTq20CalibratorE2e::init()
{
    pollIntervalMs = 500;
    m_h = std::make_unique<PanelHarness>(SimulatedDevice::Model::Tq20, QStringLiteral("SIM-TQ20-0001"));
}

void TestTq20CalibratorE2e::refresh_readsWhatTheFirmwareHasInOrder_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("1v1") << QByteArray("1v1") << 5 << QStringList{"groupBox_usercal", "groupBox_factorycal"};
    QTest::newRow("2v0") << QByteArray("2v0") << 7
                         << QStringList{"groupBox_sensitivity", "groupBox_unit_ch1",
                                        "groupBox_last_calib_timestamp"};
    QTest::newRow("3v2") << QByteArray("3v2") << 9 << QStringList(kGatedBoxes.mid(2));
}

void TestTq20CalibratorE2e::refresh_readsWhatTheFirmwareHasInOrder()
{
    QFETCH(QByteArray, firmware);
    QFETCH(int, steps);
    QFETCH(QStringList, shown);
    const QDateTime built(QDate(2025, 11, 2), QTime(8, 30, 0));
    m_h->sim->setSetting("ATCOFF1", 1.25);
    m_h->sim->setSetting("ATCWIN", 17);
    m_h->sim->setSetting("ATCBLDTM", built.toTime_t());
    QVERIFY(open(firmware));
    QCOMPARE(m_h->window->pollCommand(), QByteArray("ATCD\r\n"));

    // Each command after the previous reply; the radio buttons the replies set write nothing.
    QList<QByteArray> received;
    QVERIFY(m_h->commandsInTurn(&received));
    received.removeAll("ATCD\r\n");
    QCOMPARE(received, QList<QByteArray>{"ATCVER\r\n"} + kFullRefresh.mid(0, steps));
    QCOMPARE(status(), QStringLiteral("success! refresh calibration settings."));
    for (const QString &box : kGatedBoxes)
        QVERIFY2(child<QWidget>(box)->isVisibleTo(panel()) == shown.contains(box), qPrintable(box));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 1.25);
    QCOMPARE(child<QWidget>("doubleSpinBox_offset_ch1")->styleSheet(),
             QLatin1String(Calibrator::kInSyncStyle));
    QCOMPARE(child<QSpinBox>("spinBox_sensitivity")->value(), steps > 5 ? 17 : 1);
    QCOMPARE(child<QDateTimeEdit>("dateTimeEdit_build_time")->dateTime() == built, steps > 7);
    QVERIFY(child("radioButton_voc_co2")->isChecked());
}

void TestTq20CalibratorE2e::sensorModes_titlesUnitsAndSuffixes_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("vocCode");
    QTest::addColumn<int>("co2Code");
    QTest::addColumn<QStringList>("shown"); // title 2, unit 1, unit 2, offset 2 suffix, checked CO2 unit
    QTest::newRow("humidity") << QByteArray("3v2") << 1 << 1 << 1
                              << QStringList{"Absolute Humidity", "ppb", "g/m3", " g/m3", ""};
    QTest::newRow("co2 ppm") << QByteArray("2v0") << 2 << 0 << 1
                             << QStringList{"CO2", "ppm", "ppm", " ppm", "radioButton_ppm_ch2"};
    QTest::newRow("old co2 percent") << QByteArray("1v1") << 2 << 2 << 1
                                     << QStringList{"CO2", "ppb", "%", " ppm", "radioButton_percent_ch2"};
    QTest::newRow("old co2 ppm") << QByteArray("1v1") << 2 << 1 << 2
                                 << QStringList{"CO2", "ppm", "ppm", " ppm", "radioButton_ppm_ch2"};
    // A code outside the firmware's coding: no unit, a warning, and the device still loads.
    QTest::newRow("new tvoc code 2") << QByteArray("3v2") << 1 << 2 << 1
                                     << QStringList{"Absolute Humidity", "", "g/m3", " g/m3", ""};
}

void TestTq20CalibratorE2e::sensorModes_titlesUnitsAndSuffixes()
{
    QFETCH(QByteArray, firmware);
    QFETCH(int, mode);
    QFETCH(int, vocCode);
    QFETCH(int, co2Code);
    QFETCH(QStringList, shown);
    m_h->sim->setFirmware(firmware);
    m_h->sim->setSetting("ATCMODE", mode);
    m_h->sim->setSetting("ATCVOCU", vocCode);
    m_h->sim->setSetting("ATCCU", co2Code);
    QVERIFY(open(firmware));
    QCOMPARE(child<QGroupBox>("groupBox_ch1")->title(), QStringLiteral("TVOC"));
    QCOMPARE(child<QGroupBox>("groupBox_ch2")->title(), shown[0]);
    QCOMPARE(text("label_unit_ch1"), shown[1]);
    QCOMPARE(text("label_unit_ch2"), shown[2]);
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->suffix(), QStringLiteral(" ppm"));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch2")->suffix(), shown[3]);
    QCOMPARE(child<QWidget>("groupBox_unit_ch2")->isVisibleTo(panel()), mode == 2);
    for (const char *radio : {"radioButton_percent_ch2", "radioButton_ppm_ch2"})
        QCOMPARE(child(radio)->isChecked(), shown[4] == QLatin1String(radio));
    QCOMPARE(child(mode == 1 ? "radioButton_voc_humi" : "radioButton_voc_co2")->isChecked(), true);
    const bool warned = shown[1].isEmpty() || (mode == 2 && shown[2].isEmpty());
    QVERIFY2(status().startsWith(QLatin1String("success! refresh calibration settings.")) &&
                 status().contains(QLatin1String("warning!")) == warned,
             qPrintable(status()));
    QVERIFY(m_h->boxes.isEmpty());
}

void TestTq20CalibratorE2e::unitClicks_sendFirmwareCodesAndShowConfirmedUnit_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("unit");
    QTest::newRow("1v1 percent") << QByteArray("1v1") << "radioButton_percent_ch2"
                                 << QByteArray("ATCCU 1\r\n") << "label_unit_ch2"
                                 << "%";
    QTest::newRow("1v1 ppm") << QByteArray("1v1") << "radioButton_ppm_ch2" << QByteArray("ATCCU 2\r\n")
                             << "label_unit_ch2"
                             << "ppm";
    QTest::newRow("2v0 percent") << QByteArray("2v0") << "radioButton_percent_ch2"
                                 << QByteArray("ATCCU 0\r\n") << "label_unit_ch2"
                                 << "%";
    QTest::newRow("3v2 ppb") << QByteArray("3v2") << "radioButton_ppb_ch1" << QByteArray("ATCVOCU 1\r\n")
                             << "label_unit_ch1"
                             << "ppb";
}

void TestTq20CalibratorE2e::unitClicks_sendFirmwareCodesAndShowConfirmedUnit()
{
    QFETCH(QByteArray, firmware);
    QFETCH(QString, button);
    QFETCH(QByteArray, command);
    QFETCH(QString, label);
    QFETCH(QString, unit);
    QVERIFY(open(firmware));
    m_h->sim->clearTranscript();
    child(button)->click();
    QVERIFY(!m_h->window->pollTimer()->isActive());
    QTRY_VERIFY(!m_h->commands().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{command});
    QCOMPARE(child<QLabel>(label)->text(), unit);
    QVERIFY(child(button)->isChecked());
    QCOMPARE(status(), QStringLiteral("success! apply calibration settings."));
}

void TestTq20CalibratorE2e::unitOutsideCoding_showsNoUnitAndWarns()
{
    QVERIFY(open("1v1"));
    QVERIFY(child("radioButton_ppm_ch2")->isChecked());
    m_h->sim->setSetting("ATCCU", 0);
    child("pushButton_refresh")->click();
    QTest::qWait(600);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(text("label_unit_ch2"), QString());
    QVERIFY(!child("radioButton_ppm_ch2")->isChecked() && !child("radioButton_percent_ch2")->isChecked());
    QCOMPARE(status(),
             QStringLiteral("success! refresh calibration settings. warning! the device's Unit is 0, "
                            "which this panel cannot show."));
    QVERIFY(m_h->boxes.isEmpty());
}

void TestTq20CalibratorE2e::unknownSensorMode_endsRefreshWithBox()
{
    m_h->sim->setSetting("ATCMODE", 3);
    QVERIFY(open("3v2"));
    QCOMPARE(m_h->commands(), (QList<QByteArray>{"ATCVER\r\n", "ATCMODE\r\n"}));
    QCOMPARE(m_h->boxTexts(), QStringList{"ERROR|error! refresh calibration settings..."});
    QCOMPARE(status(), QStringLiteral("error! refresh calibration settings."));
    QVERIFY(!child("radioButton_voc_humi")->isChecked() && !child("radioButton_voc_co2")->isChecked());
}

void TestTq20CalibratorE2e::sensorModeWrite_confirmed_failedShowsBoxThenRefreshes()
{
    QVERIFY(open("3v2"));
    const auto charted = [this](int fromEnd) {
        return panel()->chart()->timeStamps()[ChartView::kSampleCount - fromEnd] != Chart::NoValue;
    };
    QTRY_VERIFY(charted(3));
    m_h->sim->clearTranscript();
    child("radioButton_voc_humi")->click();
    QTRY_VERIFY(!m_h->commands().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCMODE 1\r\n"});
    QCOMPARE(child<QGroupBox>("groupBox_ch2")->title(), QStringLiteral("Absolute Humidity"));
    QCOMPARE(status(), QStringLiteral("success! apply calibration settings."));
    QVERIFY(!charted(3)); // humidity does not continue the CO2 trace

    // The write cannot go out: the box, then a refresh shows the mode the device kept.
    auto *port = m_h->window->findChild<QSerialPort *>();
    m_h->duringBox = [port](const MessageBoxes::Request &) { port->open(QIODevice::ReadWrite); };
    m_h->sim->clearTranscript();
    child("radioButton_voc_co2")->click();
    port->close();
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! apply the the sensor mode to mode 2..."});
    QTRY_VERIFY(!m_h->commands().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), kFullRefresh);
    QVERIFY(child("radioButton_voc_humi")->isChecked());
    QCOMPARE(panel()->sensorType(), 1);
}

void TestTq20CalibratorE2e::calibrations_okRefusedDeclined_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("endStatus");
    const QString ok = QStringLiteral("success! apply calibration settings.");
    const QString failed = QStringLiteral("error! apply calibration settings.");
    QTest::newRow("user ok") << "pushButton_usercal" << false << true << QStringList{kSuccess} << ok;
    QTest::newRow("user refused") << "pushButton_usercal" << true << true << QStringList{kRetry} << failed;
    QTest::newRow("factory ok") << "pushButton_factorycal" << false << true
                                << QStringList{kFactoryQuestion, kFactoryStarted} << ok;
    QTest::newRow("factory refused") << "pushButton_factorycal" << true << true
                                     << QStringList{kFactoryQuestion, kRetry} << failed;
    QTest::newRow("factory declined")
        << "pushButton_factorycal" << false << false << QStringList{kFactoryQuestion}
        << QStringLiteral("success! refresh calibration settings.");
}

void TestTq20CalibratorE2e::calibrations_okRefusedDeclined()
{
    QFETCH(QString, button);
    QFETCH(bool, refuse);
    QFETCH(bool, yes);
    QFETCH(QStringList, boxes);
    QFETCH(QString, endStatus);
    QVERIFY(open("1v1"));
    m_h->sim->setRefuseActions(refuse);
    m_h->answer = [yes](const MessageBoxes::Request &box) { return yes ? sayYes(box) : QMessageBox::No; };
    QStringList statuses;
    m_h->duringBox = [&](const MessageBoxes::Request &) { statuses.append(status()); };
    m_h->sim->clearTranscript();
    child(button)->click();
    QTest::qWait(700);
    QVERIFY(m_h->waitIdle());
    const QByteArray word = button.contains(QLatin1String("user")) ? "ATCUCAL\r\n" : "ATCFCAL\r\n";
    QCOMPARE(m_h->commands(), yes ? QList<QByteArray>{word} : QList<QByteArray>{});
    QCOMPARE(m_h->boxTexts(), boxes);
    QCOMPARE(status(), endStatus);
    QVERIFY(!statuses.contains(QStringLiteral("success! apply calibration settings.")));
}

void TestTq20CalibratorE2e::liveLines_missingFieldIsGapNotZero()
{
    QVERIFY(open("3v2"));
    m_h->window->setPollTimerActive(false);
    m_h->sim->setResponding(false);
    auto *lcd1 = child<QLCDNumber>("lcdNumber_ch1");
    auto *lcd2 = child<QLCDNumber>("lcdNumber_ch2");
    const struct
    {
        QByteArray line;
        double chart1, chart2;
    } lines[] = {{"ATCD12.5,0.8\r\n", 12.5, 0.8},
                 {"ATCD----,0.8\r\n", Chart::NoValue, 0.8},
                 {"ATCD12.5\r\n", 12.5, Chart::NoValue}};
    const int last = ChartView::kSampleCount - 1;
    for (const auto &live : lines) {
        panel()->chart()->clearSamples();
        m_h->window->writeATCDCommand();
        m_h->sim->sendRaw(live.line);
        QTRY_VERIFY2(panel()->chart()->timeStamps()[last] != Chart::NoValue, live.line.constData());
        QCOMPARE(panel()->chart()->values1()[last], live.chart1);
        QCOMPARE(panel()->chart()->values2()[last], live.chart2);
        QCOMPARE(lcd1->value(), live.chart1 == Chart::NoValue ? 0.0 : live.chart1);
        QCOMPARE(lcd2->value(), live.chart2 == Chart::NoValue ? 0.0 : live.chart2);
        QVERIFY(litPixels(lcd1) > 0 && litPixels(lcd2) > 0); // dashes are drawn, not left blank
    }
}

QTEST_MAIN(TestTq20CalibratorE2e)
#include "tst_tq20calibrator_e2e.moc"
