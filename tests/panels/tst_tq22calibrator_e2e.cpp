#include "panelharness.h"
#include "panels/tq22calibrator.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>

namespace {

const QString kDegree(QChar(0x00B0));

} // namespace

// The TQ22 O2 panel against the simulator: what each sensor type shows, and the temperature unit
// that only type 1 has.
class TestTq22CalibratorE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_h.reset(); }
    void refresh_showsTheSensorTypesChannels_data();
    void refresh_showsTheSensorTypesChannels();
    void temperatureUnit_onlyWithTypeOne_keptAcrossTypes_refusalKeepsIt();

private:
    QString text(const char *name) const
    {
        if (auto *label = m_h->child<QLabel>(name))
            return label->text();
        if (auto *box = m_h->child<QGroupBox>(name))
            return box->title();
        return m_h->child(name)->text();
    }
    bool shown(const char *name) const
    {
        return m_h->child<QWidget>(name)->isVisibleTo(m_h->window->panelWidget());
    }

    std::unique_ptr<PanelHarness> m_h;
};

void TestTq22CalibratorE2e::init()
{
    pollIntervalMs = 500;
    m_h = std::make_unique<PanelHarness>(SimulatedDevice::Model::Tq22, QStringLiteral("SIM-TQ22-0001"));
}

void TestTq22CalibratorE2e::refresh_showsTheSensorTypesChannels_data()
{
    QTest::addColumn<int>("type");
    // title 2, unit 1, unit 2, offset suffix 1, offset suffix 2
    QTest::addColumn<QStringList>("shows");
    QTest::addColumn<bool>("unitBox");
    const QString pressure = QStringLiteral("Atmospheric pressure");
    QTest::newRow("1 O2 and temperature")
        << 1 << QStringList{"Temperature", "%", kDegree + "C", "%", kDegree + "C"} << true;
    QTest::newRow("2 partial pressure")
        << 2 << QStringList{pressure, "mbar", "mbar", "mbar", "mbar"} << false;
    QTest::newRow("3 ppm, water column") << 3 << QStringList{pressure, "ppm", "mmh2o", "%", "mmh2o"} << false;
    QTest::newRow("4 percent, pressure") << 4 << QStringList{pressure, "%", "mbar", "%", "mbar"} << false;
    QTest::newRow("5 unknown") << 5 << QStringList{"Channel 2", "", "", "", ""} << false;
}

void TestTq22CalibratorE2e::refresh_showsTheSensorTypesChannels()
{
    QFETCH(int, type);
    QFETCH(QStringList, shows);
    QFETCH(bool, unitBox);

    m_h->sim->setSetting("ATCMODE", type);
    m_h->sim->setSetting("ATCOFF1", 0.5);
    QVERIFY(m_h->openIdle());
    const bool known = type <= Tq22Calibrator::kTypeCount;
    const QList<QByteArray> read = {"ATCVER\r\n", "ATCMODE\r\n", "ATCOFF1\r\n", "ATCOFF2\r\n"};
    QCOMPARE(m_h->commands(), read.mid(0, known ? 4 : 2));
    QCOMPARE(m_h->boxTexts(),
             known ? QStringList() : QStringList{"ERROR|error! refresh calibration settings..."});
    QCOMPARE(m_h->shortStatus(), known ? QStringLiteral("success! refresh calibration settings.")
                                       : QStringLiteral("error! refresh calibration settings."));
    QCOMPARE(text("groupBox_ch1"), known ? QStringLiteral("O2") : QStringLiteral("Channel 1"));
    QCOMPARE((QStringList{text("groupBox_ch2"), text("label_unit_ch1"), text("label_unit_ch2"),
                          m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->suffix(),
                          m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch2")->suffix()}),
             shows);
    QCOMPARE(m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), known ? 0.5 : 0.0);
    QCOMPARE(shown("groupBox_tempoutput"), unitBox);
    for (int t = 1; t <= Tq22Calibrator::kTypeCount; ++t)
        QCOMPARE(m_h->child(qPrintable(QStringLiteral("radioButton_type%1").arg(t)))->isChecked(), t == type);

    // Then the poll runs.
    m_h->sim->clearTranscript();
    QTRY_VERIFY(m_h->sim->receivedCommands().contains("ATCD\r\n"));
}

void TestTq22CalibratorE2e::temperatureUnit_onlyWithTypeOne_keptAcrossTypes_refusalKeepsIt()
{
    QVERIFY(m_h->openIdle());
    m_h->sim->clearTranscript();
    m_h->child("radioButton_fahrenheit")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(text("label_unit_ch2"), kDegree + "F");
    QCOMPARE(text("radioButton_type1"), "%," + kDegree + "F");
    QCOMPARE(m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch2")->suffix(), kDegree + "C");

    m_h->child("radioButton_type2")->click();
    QVERIFY(m_h->waitIdle());
    QVERIFY(!shown("groupBox_tempoutput"));
    QCOMPARE(text("label_unit_ch2"), QStringLiteral("mbar"));
    m_h->child("radioButton_type1")->click();
    QVERIFY(m_h->waitIdle());
    QVERIFY(shown("groupBox_tempoutput"));
    QVERIFY(m_h->child("radioButton_fahrenheit")->isChecked());
    QCOMPARE(text("label_unit_ch2"), kDegree + "F");
    QCOMPARE(m_h->commands(), (QList<QByteArray>{"ATCF\r\n", "ATCMODE 2\r\n", "ATCMODE 1\r\n"}));
    QVERIFY(m_h->boxes.isEmpty());

    // Refused: the device is still in Fahrenheit, and the panel says so.
    m_h->sim->setRefuseActions(true);
    m_h->child("radioButton_celsius")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->boxTexts(),
             QStringList{"ERROR|error! apply the device's temperature mode to the fahrenheit mode..."});
    QVERIFY(m_h->child("radioButton_fahrenheit")->isChecked());
    QCOMPARE(text("label_unit_ch2"), kDegree + "F");
    QCOMPARE(text("radioButton_type1"), "%," + kDegree + "F");
}

QTEST_MAIN(TestTq22CalibratorE2e)
#include "tst_tq22calibrator_e2e.moc"
