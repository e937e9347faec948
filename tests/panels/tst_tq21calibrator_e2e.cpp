#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panelharness.h"
#include "panels/tq21calibrator.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QSerialPort>

namespace {

const QList<QByteArray> kFullRefresh = {"ATCOFF1\r\n",  "ATCOFF2\r\n", "ATCCAL\r\n",   "ATCCU\r\n",
                                        "ATCDGFIL\r\n", "ATCSPAN\r\n", "ATCSINFO\r\n", "ATCEXTM\r\n",
                                        "ATCUSED\r\n",  "ATCBLDTM\r\n"};
// Boxes of the settings newer firmware has, in the order the firmware gained them.
const char *const kGatedBoxes[] = {"groupBox_filter",      "groupBox_barometer",
                                   "groupBox_versioninfo", "groupBox_last_calib_timestamp",
                                   "groupBox_usedtime",    "groupBox_build_time"};
const QString kDegree(QChar(0x00B0));

} // namespace

// The TQ21 CO2 panel against the simulator at three firmware generations.
class TestTq21CalibratorE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_h.reset(); }
    void refresh_readsWhatTheFirmwareHas_co2UnitInItsCoding_data();
    void refresh_readsWhatTheFirmwareHas_co2UnitInItsCoding();
    void applies_sendValuesWithinTheEditorsBounds_data();
    void applies_sendValuesWithinTheEditorsBounds();
    void temperatureUnit_confirmedRefusedOrUnwritten_data();
    void temperatureUnit_confirmedRefusedOrUnwritten();
    void liveLine_missingTemperatureIsAGapNotZero();

private:
    Tq21Calibrator *panel() const { return m_h->panel<Tq21Calibrator>(); }
    std::unique_ptr<PanelHarness> m_h;
};

void TestTq21CalibratorE2e::init()
{
    pollIntervalMs = 500;
    m_h = std::make_unique<PanelHarness>(SimulatedDevice::Model::Tq21, QStringLiteral("SIM-TQ21-0001"));
    m_h->sim->setSetting("ATCCAL", 350.0);
}

void TestTq21CalibratorE2e::refresh_readsWhatTheFirmwareHas_co2UnitInItsCoding_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("deviceCode");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("gatedBoxesShown");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("0v9 percent is 1") << QByteArray("0v9") << 1 << 4 << 0 << "%"
                                      << "radioButton_ppm_ch1" << QByteArray("ATCCU 2\r\n");
    QTest::newRow("0v9 ppm is 2") << QByteArray("0v9") << 2 << 4 << 0 << "ppm"
                                  << "radioButton_percent_ch1" << QByteArray("ATCCU 1\r\n");
    QTest::newRow("0v9 code 0 is no unit") << QByteArray("0v9") << 0 << 4 << 0 << ""
                                           << "radioButton_ppm_ch1" << QByteArray("ATCCU 2\r\n");
    QTest::newRow("1v2 ppm is 1") << QByteArray("1v2") << 1 << 8 << 4 << "ppm"
                                  << "radioButton_percent_ch1" << QByteArray("ATCCU 0\r\n");
    QTest::newRow("1v5 percent is 0") << QByteArray("1v5") << 0 << 10 << 6 << "%"
                                      << "radioButton_ppm_ch1" << QByteArray("ATCCU 1\r\n");
    QTest::newRow("1v5 code 2 is no unit") << QByteArray("1v5") << 2 << 10 << 6 << ""
                                           << "radioButton_percent_ch1" << QByteArray("ATCCU 0\r\n");
}

void TestTq21CalibratorE2e::refresh_readsWhatTheFirmwareHas_co2UnitInItsCoding()
{
    QFETCH(QByteArray, firmware);
    QFETCH(int, deviceCode);
    QFETCH(int, steps);
    QFETCH(int, gatedBoxesShown);
    QFETCH(QString, unit);
    QFETCH(QString, click);
    QFETCH(QByteArray, written);

    QVERIFY(m_h->sim->setFirmware(firmware));
    m_h->sim->setSetting("ATCCU", deviceCode);
    QVERIFY(m_h->openIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCVER\r\n"} + kFullRefresh.mid(0, steps));
    for (int i = 0; i < int(std::size(kGatedBoxes)); ++i)
        QVERIFY2(m_h->child<QWidget>(kGatedBoxes[i])->isVisibleTo(panel()) == (i < gatedBoxesShown),
                 kGatedBoxes[i]);
    QVERIFY(m_h->child<QWidget>("groupBox_co2cal")->isVisibleTo(panel()));
    QCOMPARE(m_h->child<QDoubleSpinBox>("doubleSpinBox_co2cal")->value(), 350.0);

    // A code outside this firmware's coding names no unit, and the refresh still ends well.
    QCOMPARE(m_h->child<QLabel>("label_unit_ch1")->text(), unit);
    QCOMPARE(m_h->child("radioButton_percent_ch1")->isChecked(), unit == QLatin1String("%"));
    QCOMPARE(m_h->child("radioButton_ppm_ch1")->isChecked(), unit == QLatin1String("ppm"));
    const QString success = QStringLiteral("success! refresh calibration settings.");
    if (unit.isEmpty())
        QVERIFY2(m_h->shortStatus().startsWith(success + QLatin1String(" warning!")) &&
                     m_h->shortStatus().contains(QString::number(deviceCode)),
                 qPrintable(m_h->shortStatus()));
    else
        QCOMPARE(m_h->shortStatus(), success);
    QVERIFY(m_h->boxes.isEmpty());

    m_h->sim->clearTranscript();
    m_h->child(qPrintable(click))->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{written});
    const bool ppm = click == QLatin1String("radioButton_ppm_ch1");
    QCOMPARE(m_h->child<QLabel>("label_unit_ch1")->text(), ppm ? QStringLiteral("ppm") : QStringLiteral("%"));
    QVERIFY(m_h->child(qPrintable(click))->isChecked());
}

void TestTq21CalibratorE2e::applies_sendValuesWithinTheEditorsBounds_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("co2 calibration") << "doubleSpinBox_co2cal" << 400.0 << "toolButton_co2cal_apply"
                                     << QByteArray("ATCCAL 400.00\r\n");
    QTest::newRow("co2 offset") << "doubleSpinBox_offset_ch1" << -12.5 << "toolButton_offset_apply_ch1"
                                << QByteArray("ATCOFF1 -12.50\r\n");
    QTest::newRow("smart filter") << "spinBox_filter" << 0.0 << "toolButton_filter_apply"
                                  << QByteArray("ATCDGFIL 0\r\n");
    QTest::newRow("filter past 64") << "spinBox_filter" << 99.0 << "toolButton_filter_apply"
                                    << QByteArray("ATCDGFIL 64\r\n");
    QTest::newRow("barometer below 843")
        << "spinBox_barometer" << 100.0 << "toolButton_barometer_apply" << QByteArray("ATCSPAN 843\r\n");
    QTest::newRow("barometer past 1050")
        << "spinBox_barometer" << 2000.0 << "toolButton_barometer_apply" << QByteArray("ATCSPAN 1050\r\n");
}

void TestTq21CalibratorE2e::applies_sendValuesWithinTheEditorsBounds()
{
    QFETCH(QString, editor);
    QFETCH(double, value);
    QFETCH(QString, button);
    QFETCH(QByteArray, command);

    QVERIFY(m_h->openIdle());
    auto *widget = m_h->child<QAbstractSpinBox>(qPrintable(editor));
    widget->setProperty("value", value);
    // The calibration value is a target to write, never shown as pending.
    const bool co2cal = editor == QLatin1String("doubleSpinBox_co2cal");
    QCOMPARE(widget->styleSheet() == QLatin1String(Calibrator::kPendingStyle), !co2cal);
    m_h->sim->clearTranscript();
    m_h->child(qPrintable(button))->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{command});
    QCOMPARE(m_h->shortStatus(), QStringLiteral("success! apply calibration settings."));
    QCOMPARE(widget->styleSheet(), QLatin1String(Calibrator::kInSyncStyle));
    QVERIFY(m_h->boxes.isEmpty());
}

void TestTq21CalibratorE2e::temperatureUnit_confirmedRefusedOrUnwritten_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QChar>("unit");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("boxes");
    const QStringList stillCelsius = {
        "ERROR|error! apply the device's temperature mode to the celsius mode..."};
    QTest::newRow("confirmed") << "" << QChar('F')
                               << "success! apply the device's temperature mode to the fahrenheit mode."
                               << QStringList();
    QTest::newRow("refused") << "refuse" << QChar('C')
                             << "error! apply the device's temperature mode to the celsius mode."
                             << stillCelsius;
    QTest::newRow("port closed") << "unwritten" << QChar('C')
                                 << "error! apply the device's temperature mode to the celsius mode."
                                 << stillCelsius;
}

void TestTq21CalibratorE2e::temperatureUnit_confirmedRefusedOrUnwritten()
{
    QFETCH(QString, fault);
    QFETCH(QChar, unit);
    QFETCH(QString, status);
    QFETCH(QStringList, boxes);

    QVERIFY(m_h->openIdle());
    QVERIFY(m_h->child("radioButton_celsius")->isChecked());
    m_h->sim->setRefuseActions(fault == QLatin1String("refuse"));
    m_h->sim->clearTranscript();
    m_h->child("radioButton_fahrenheit")->click();
    if (fault == QLatin1String("unwritten"))
        m_h->window->findChild<QSerialPort *>()->close();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->boxTexts(), boxes);
    QCOMPARE(m_h->shortStatus(), status);
    QCOMPARE(m_h->commands().isEmpty(), fault == QLatin1String("unwritten"));
    QCOMPARE(m_h->child("radioButton_fahrenheit")->isChecked(), unit == QLatin1Char('F'));
    QCOMPARE(m_h->child<QLabel>("label_unit_ch2")->text(), kDegree + unit);
    // The device keeps the temperature offset in Celsius.
    QCOMPARE(m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch2")->suffix(), kDegree + QLatin1Char('C'));
}

void TestTq21CalibratorE2e::liveLine_missingTemperatureIsAGapNotZero()
{
    QVERIFY(m_h->openIdle());
    m_h->window->setPollTimerActive(false);
    m_h->sim->setResponding(false);
    QTest::qWait(50); // a reply already on its way lands before the poll below
    m_h->window->writeATCDCommand();
    m_h->sim->sendRaw("ATCD 650\r\n");
    QTRY_COMPARE(m_h->child<QLCDNumber>("lcdNumber_ch1")->value(), 650.0);
    const int last = ChartView::kSampleCount - 1;
    QCOMPARE(panel()->chart()->values1()[last], 650.0);
    QCOMPARE(panel()->chart()->values2()[last], Chart::NoValue);
}

QTEST_MAIN(TestTq21CalibratorE2e)
#include "tst_tq21calibrator_e2e.moc"
