#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panelharness.h"
#include "panels/calibwizard.h"
#include "panels/pmcalibrator.h"
#include "panels/tq20calibrator.h"
#include "panels/tq24calibrator.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QSerialPort>

namespace {

const int kLast = ChartView::kSampleCount - 1;

} // namespace

// What only one model has: the particulate-matter channel pairs and previews, the TQ24 live fields
// and wizard; and as one table the actions behind questions (factory reset, TQ20 calibrations, TQ24
// drift, zero and span) and refused or unwritten writes. What every panel shares is in
// tst_paneltables_e2e; device faults in the fault matrix.
class TestPanelModelsE2e : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { m_h.reset(); }
    void pm_outputMode_clearsChart_unansweredGoesBack();
    void pm_pairChange_refreshesAndShowsThatPairsOffsetsAndLiveValues();
    void pm_unexpectedReplies_endInErrorWithBox();
    void choice_startsItsChartsAfresh_data();
    void choice_startsItsChartsAfresh();
    void actions_writeAndShowTheDevicesAnswer_data();
    void actions_writeAndShowTheDevicesAnswer();
    void tq24_liveLines_slopeDriftAndMicrovolt();
    void tq24_wizard_writesOnlyWhatFinishTook_data();
    void tq24_wizard_writesOnlyWhatFinishTook();
    void tq24_unplugged_underTheDriftBox_toolStaysAlive();
    void tq24_driftBoxHeldOpen_refreshAndPollsGoOnBeneathIt();

    void pm_chart_spansThePollPeriodTheRateMenuSets();

private:
    // Opens the panel, on the harness the test set up already if there is one.
    bool open(SimulatedDevice::Model model, const QByteArray &firmware = QByteArray())
    {
        if (!m_h)
            m_h = std::make_unique<PanelHarness>(model);
        return (firmware.isEmpty() || m_h->sim->setFirmware(firmware)) && m_h->openIdle();
    }
    Calibrator *panel() const { return m_h->panel<Calibrator>(); }
    template <typename T = QAbstractButton> T *child(const char *name) const { return m_h->child<T>(name); }
    // The span gas, zero and span a wizard starts from.
    static QString offered(const CalibWizard *wizard)
    {
        QStringList values;
        for (const char *field : {"PPM", "ZERO", "SPAN"})
            values.append(wizard->field(QLatin1String(field)).toString());
        return values.join(QLatin1Char(','));
    }
    CalibWizard *openWizard()
    {
        child("pushButton_mannual")->click();
        return m_h->panel<Tq24Calibrator>()->wizard();
    }

    std::unique_ptr<PanelHarness> m_h;
};

void TestPanelModelsE2e::pm_outputMode_clearsChart_unansweredGoesBack()
{
    QVERIFY(open(SimulatedDevice::Model::Pm));
    QTRY_VERIFY(panel()->chart()->timeStamps()[kLast] != Chart::NoValue);
    child("radioButton_number")->click();
    QVERIFY(m_h->waitIdle());
    // The chart starts afresh in the new unit (at most the one poll since the end).
    QCOMPARE(panel()->chart()->timeStamps()[kLast - 2], Chart::NoValue);

    // Unanswered: the buttons go back to the mode the device confirmed.
    m_h->setReplyTimeoutMs(300);
    m_h->sim->setSilentWords({"ATCMODE"});
    child("radioButton_mass")->click();
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! change the sensor output mode..."});
    QVERIFY(m_h->waitIdle());
    m_h->setReplyTimeoutMs(0);
    QVERIFY(child("radioButton_number")->isChecked());
}

void TestPanelModelsE2e::pm_pairChange_refreshesAndShowsThatPairsOffsetsAndLiveValues()
{
    m_h = std::make_unique<PanelHarness>(SimulatedDevice::Model::Pm);
    for (int ch : {3, 4, 5})
        m_h->sim->setSetting(QStringLiteral("ATCOFF%1").arg(ch), ch + 0.5);
    QVERIFY(open(SimulatedDevice::Model::Pm));
    m_h->sim->clearTranscript();
    child<QGroupBox>("groupBox_ch3_4")->setChecked(true);
    QVERIFY(!child<QGroupBox>("groupBox_ch1_2")->isChecked());
    QTRY_VERIFY(!m_h->commands().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), m_h->refreshCommands());
    m_h->checkShown({"groupBox_ch1=pm1.0", "groupBox_ch2=pm4.0", "doubleSpinBox_offset_ch1=3.50 *",
                     "doubleSpinBox_offset_ch2=4.50 *"});
    m_h->sim->clearTranscript();
    child("toolButton_offset_apply_ch2")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCOFF4 4.50\r\n"});

    // A live line fills the previews and the pair's displays and chart.
    m_h->quiet();
    panel()->chart()->clearSamples();
    m_h->window->writeATCDCommand();
    m_h->sim->sendRaw("ATCH 5,6,7,----,9,10\r\n");
    QTRY_COMPARE(child<QLCDNumber>("lcdNumber_ch1")->value(), 7.0);
    for (int ch = 1; ch <= 6; ++ch) {
        auto *lcd = child<QLCDNumber>(("lcdNumber_preview_ch" + QByteArray::number(ch)).constData());
        QCOMPARE(lcd->value(), ch == 4 ? 0.0 : double(ch + 4));
        QVERIFY(ch != 4 || showsDashes(lcd));
    }
    QCOMPARE(child<QLCDNumber>("lcdNumber_ch2")->value(), 0.0);
    QCOMPARE(panel()->chart()->values1()[kLast], 7.0);
    QCOMPARE(panel()->chart()->values2()[kLast], Chart::NoValue);
    // A second line for the same poll is shown but not charted over the first.
    m_h->sim->sendRaw("ATCH 5,6,8,8,9,10\r\n");
    QTRY_COMPARE(child<QLCDNumber>("lcdNumber_ch1")->value(), 8.0);
    QCOMPARE(panel()->chart()->values1()[kLast], 7.0);
    m_h->sim->setResponding(true);
    m_h->window->setPollTimerActive(true);

    // Pair 2: particle counts, and channel 2 has no offset to write.
    child<QGroupBox>("groupBox_ch5_6")->setChecked(true);
    QTest::qWait(600);
    QVERIFY(m_h->waitIdle());
    m_h->checkShown({"groupBox_ch2=partical size", "label_unit_ch1=#/cm3", "doubleSpinBox_offset_ch1=5.50 *",
                     "groupBox_offset_ch2=hidden"});
    m_h->sim->clearTranscript();
    child("toolButton_offset_apply_ch2")->click();
    // Unchecking the selected pair selects nothing else.
    child<QGroupBox>("groupBox_ch5_6")->setChecked(false);
    QTest::qWait(700);
    QCOMPARE(m_h->panel<PmCalibrator>()->selectedChannel(), 2);
    QVERIFY(m_h->commands().isEmpty());
    QVERIFY(m_h->window->pollTimer()->isActive());
}

void TestPanelModelsE2e::pm_unexpectedReplies_endInErrorWithBox()
{
    QVERIFY(open(SimulatedDevice::Model::Pm));
    m_h->quiet();
    // An apply of ATCOFF1 answered for ATCOFF2: the keyword passes, the word does not.
    child("toolButton_offset_apply_ch1")->click();
    QTRY_COMPARE(m_h->commands(), QList<QByteArray>{"ATCOFF1 0.00\r\n"});
    m_h->sim->sendRaw("OK\r\nERROR\r\n"); // not replies: ignored, the apply waits
    QTest::qWait(100);
    QCOMPARE(panel()->mode(), int(Calibrator::APPLY));
    m_h->sim->sendRaw("ATCOFF2 1.00\r\n");
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! apply calibration settings..."});
    QCOMPARE(panel()->mode(), int(Calibrator::DEFAULT));
    QVERIFY(m_h->window->pollTimer()->isActive());

    // A refresh reply without a readable value is no offset of 0: it ends the refresh, and what
    // the refresh did not reach is no longer shown as in step.
    for (const char *reply : {"ATCOFF1\r\n", "ATCOFF1 12.5OK\r\n", "ATCOFF2 1.0\r\n"}) {
        m_h->boxes.clear();
        m_h->sim->clearTranscript();
        child("pushButton_refresh")->click();
        QTRY_COMPARE(m_h->commands().size(), 1);
        m_h->sim->sendRaw("ATCMODE 0\r\n");
        QTRY_COMPARE(m_h->commands().size(), 2);
        child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->setValue(9);
        m_h->sim->sendRaw(reply);
        QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! refresh calibration settings..."});
        QCOMPARE(m_h->commands().size(), 2);
        QCOMPARE(panel()->seq(), 0);
        m_h->checkShown({"doubleSpinBox_offset_ch1=9.00 ~", "spinBox_modbus_addr=1"});
    }
}

void TestPanelModelsE2e::choice_startsItsChartsAfresh_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("chart1Afresh");
    QTest::addColumn<bool>("chart2Afresh");
    // Humidity does not continue the CO2 trace; a temperature trace holds one unit.
    QTest::newRow("tq20 sensor mode") << 20 << "radioButton_voc_humi" << true << true;
    QTest::newRow("tq21 fahrenheit") << 21 << "radioButton_fahrenheit" << false << true;
    QTest::newRow("tq22 fahrenheit") << 22 << "radioButton_fahrenheit" << false << true;
    QTest::newRow("tq24 fahrenheit") << 24 << "radioButton_fahrenheit" << false << true;
}

void TestPanelModelsE2e::choice_startsItsChartsAfresh()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QFETCH(bool, chart1Afresh);
    QFETCH(bool, chart2Afresh);
    QVERIFY(open(simulatedModel(model), model == 20 ? "3v2" : ""));
    QTRY_VERIFY(panel()->chart()->timeStamps()[kLast - 2] != Chart::NoValue);
    child(qPrintable(button))->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(panel()->chart()->values1()[kLast - 2] == Chart::NoValue, chart1Afresh);
    QCOMPARE(panel()->chart()->values2()[kLast - 2] == Chart::NoValue, chart2Afresh);
}

void TestPanelModelsE2e::actions_writeAndShowTheDevicesAnswer_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("yes"); // how questions are answered
    // To the first command; empty: the simulator answers; "closed": the port is closed before the
    // write and open again once the box is up.
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("commands"); // "refresh": the panel's refresh
    QTest::addColumn<QStringList>("boxes");
    // See shownText, with the status; "wizard=PPM,ZERO,SPAN": what the TQ24 wizard then starts from.
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("device"); // the simulator's settings besides ATCOFF1=42, WORD=value
    const auto row = [](const char *name, int model, const char *button, bool yes, const char *reply,
                        const QStringList &commands, const QStringList &boxes, const QStringList &shown,
                        const QStringList &device = {}) {
        QTest::newRow(name) << model << button << yes << QByteArray(reply) << commands << boxes << shown
                            << device;
    };
    const QString applied = "status=success! apply calibration settings.";
    const QString notApplied = "status=error! apply calibration settings.";
    const QString refreshed = "status=success! refresh calibration settings.";
    const QString failed = "ERROR|error! apply calibration settings...";

    const QString reset = "Factory Reset|Your work will be erased. Would you like to continue?";
    row("pm factory reset: the defaults read back", 404, "pushButton_factoryreset", true, "",
        {"ATCFTRST", "refresh"}, {reset, "Factory Reset|the Factory Reset is completed."},
        {refreshed, "doubleSpinBox_offset_ch1=0.00 *"});
    row("pm factory reset declined", 404, "pushButton_factoryreset", false, "", {}, {reset},
        {refreshed, "doubleSpinBox_offset_ch1=42.00 *"});
    row("pm offset kept another value: said, not in step", 404, "toolButton_offset_apply_ch1", true,
        "ATCOFF1 41.5", {"ATCOFF1 42.00"}, {},
        {"status=warning! the device kept 41.5, not 42.00.", "doubleSpinBox_offset_ch1=41.50"});

    const QString retry = "FAIL|Please retry...";
    const QString factory = "Factory Calibration|Do you want to calibrate for 12 hours?";
    row("tq20 user", 20, "pushButton_usercal", true, "", {"ATCUCAL"}, {"SUCCESS|Success..."}, {applied});
    row("tq20 user refused", 20, "pushButton_usercal", true, "ATCUCAL", {"ATCUCAL"}, {retry}, {notApplied});
    row("tq20 factory", 20, "pushButton_factorycal", true, "", {"ATCFCAL"},
        {factory, "SUCCESS|Unplug the sensor and plug it in again.\nNormal operation after 12 hours."},
        {applied});
    row("tq20 factory refused", 20, "pushButton_factorycal", true, "ATCFCAL", {"ATCFCAL"}, {factory, retry},
        {notApplied});
    row("tq20 factory declined", 20, "pushButton_factorycal", false, "", {}, {factory}, {refreshed});
    row("tq20 sensor mode unwritten: the box, then a refresh", 20, "radioButton_voc_humi", true, "closed",
        {"refresh"}, {"ERROR|error! apply the the sensor mode to mode 1..."},
        {refreshed, "radioButton_voc_co2=on"});

    const QString drift = "Drift Adjustment.|Do you want to Drift Adjustment?";
    const QString zero = "Zero Calibration|Do you want to calibrate for Zero?";
    row("tq24 drift: refresh, then the box", 24, "pushButton_driftadj", true, "", {"ATCDRFT", "refresh"},
        {drift, "Drift Adj.|the Drift Adjustment is completed."}, {refreshed, "pushButton_mannual=enabled"});
    row("tq24 drift refused", 24, "pushButton_driftadj", true, "ATCDRFT", {"ATCDRFT"},
        {drift, "Drift Adj.|the Drift Adjustment is failed!"}, {notApplied, "pushButton_mannual=disabled"});
    // The zero calibration changes the zero alone: the span and span gas read before still hold.
    row("tq24 zero", 24, "toolButton_zerocal_apply", true, "ATCCZR 98.76", {"ATCCZR"}, {zero},
        {applied, "doubleSpinBox_zerocal=98.76 uV *", "pushButton_mannual=enabled",
         "wizard=1000,98.76,2100"});
    row("tq24 zero, the span never shown", 24, "toolButton_zerocal_apply", true, "ATCCZR 98.76", {"ATCCZR"},
        {zero}, {applied, "pushButton_mannual=disabled"}, {"SPAN=2000000"});
    row("tq24 zero beyond its editor", 24, "toolButton_zerocal_apply", true, "ATCCZR 2000000", {"ATCCZR"},
        {zero}, {"pushButton_mannual=disabled"});
    row("tq24 zero without a number", 24, "toolButton_zerocal_apply", true, "ATCCZRERROR", {"ATCCZR"},
        {zero, failed}, {notApplied, "doubleSpinBox_zerocal=100.00 uV *"});
    row("tq24 span, four fields", 24, "toolButton_spancal_apply", true, "ATCCSP 500.00,0.25000,98.00,2098.00",
        {"ATCCSP 500.00"}, {},
        {applied, "doubleSpinBox_spancal_ppm=500.00 ppm *", "doubleSpinBox_slope=0.25000 ppm/uV",
         "doubleSpinBox_zerocal=98.00 uV *", "doubleSpinBox_spancal=2098.00 uV *",
         "pushButton_mannual=enabled"});
    row("tq24 span, three fields", 24, "toolButton_spancal_apply", true, "ATCCSP 500.00,0.25000,98.00",
        {"ATCCSP 500.00"}, {failed}, {notApplied, "doubleSpinBox_spancal=2100.00 uV *"});
    row("tq24 span, a field without a number", 24, "toolButton_spancal_apply", true,
        "ATCCSP 500.00,----,98.00,2098.00", {"ATCCSP 500.00"}, {failed},
        {notApplied, "doubleSpinBox_zerocal=100.00 uV *", "pushButton_mannual=disabled"});
    row("tq24 filter value refused: its own texts, then a refresh", 24, "radioButton_rawgas", true,
        "ATCMODE 7", {"ATCMODE 0", "refresh"}, {"ERROR|error! apply sensor output mode settings..."},
        {refreshed, "radioButton_filtergas=on"});
    row("tq24 filter kept another mode: said, no refresh", 24, "radioButton_rawgas", true, "ATCMODE 1",
        {"ATCMODE 0"}, {}, {"status=warning! the device kept 1, not 0.", "radioButton_filtergas=on"});
    row("tq22 sensor type refused: then a refresh", 22, "radioButton_type2", true, "ATCMODE 9",
        {"ATCMODE 2", "refresh"}, {failed}, {refreshed, "radioButton_type1=on"});
    row("tq22 sensor type unwritten: the box, then a refresh", 22, "radioButton_type2", true, "closed",
        {"refresh"}, {"ERROR|error! apply the the sensor mode to mode 2..."},
        {refreshed, "radioButton_type1=on"});

    const QStringList celsius = {"status=error! apply the device's temperature mode to the celsius mode.",
                                 "radioButton_celsius=on", "label_unit_ch2=" + QString(QChar(0x00B0)) + "C"};
    const QString unit = "ERROR|error! apply the device's temperature mode to the celsius mode...";
    row("tq21 fahrenheit refused", 21, "radioButton_fahrenheit", true, "ATCF", {"ATCF"}, {unit}, celsius);
    row("tq21 fahrenheit unwritten", 21, "radioButton_fahrenheit", true, "closed", {}, {unit}, celsius);
    row("tq22 fahrenheit refused", 22, "radioButton_fahrenheit", true, "ATCF", {"ATCF"}, {unit}, celsius);
    row("tq24 fahrenheit refused", 24, "radioButton_fahrenheit", true, "ATCF", {"ATCF"}, {unit}, celsius);
}

void TestPanelModelsE2e::actions_writeAndShowTheDevicesAnswer()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QFETCH(bool, yes);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, device);
    m_h = std::make_unique<PanelHarness>(simulatedModel(model));
    m_h->sim->setSetting("ATCOFF1", 42.0);
    for (const QString &setting : device)
        QVERIFY(m_h->sim->setSetting(setting.section(QLatin1Char('='), 0, 0),
                                     setting.section(QLatin1Char('='), 1)));
    QVERIFY(open(simulatedModel(model), model == 20 ? "1v1" : ""));
    if (auto *ppm = child<QDoubleSpinBox>("doubleSpinBox_spancal_ppm"))
        ppm->setValue(500);
    m_h->answer = [yes](const MessageBoxes::Request &box) { return yes ? sayYes(box) : QMessageBox::No; };
    QStringList statusDuringBoxes;
    // A person reads the box for a while: the replies arrive meanwhile.
    auto *port = m_h->window->findChild<QSerialPort *>();
    m_h->duringBox = [&](const MessageBoxes::Request &) {
        statusDuringBoxes.append(m_h->shortStatus());
        if (reply == "closed")
            port->open(QIODevice::ReadWrite);
        QTest::qWait(400);
    };
    QList<QByteArray> expected;
    for (const QString &command : commands)
        expected +=
            command == "refresh" ? m_h->refreshCommands() : QList<QByteArray>{command.toLatin1() + "\r\n"};
    if (reply.isEmpty() || reply == "closed")
        m_h->sim->clearTranscript();
    else
        m_h->quiet();

    child(qPrintable(button))->click();
    if (reply == "closed") {
        port->close();
    } else if (!reply.isEmpty()) {
        QTRY_VERIFY(!m_h->commands().isEmpty());
        m_h->sim->sendRaw(reply + "\r\n");
        m_h->sim->setResponding(true);
    }
    QTRY_COMPARE(m_h->commands(), expected);
    QTest::qWait(200);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->boxTexts(), boxes);
    m_h->checkShown(shown.filter(QRegularExpression(QStringLiteral("^(?!wizard=)"))));
    for (const QString &entry : shown.filter(QRegularExpression(QStringLiteral("^wizard=")))) {
        CalibWizard *wizard = openWizard();
        QVERIFY(wizard);
        QCOMPARE("wizard=" + offered(wizard), entry);
    }
    QVERIFY(!statusDuringBoxes.contains(QStringLiteral("success! apply calibration settings.")));
}

void TestPanelModelsE2e::tq24_liveLines_slopeDriftAndMicrovolt()
{
    QVERIFY(open(SimulatedDevice::Model::Tq24));
    m_h->quiet();
    panel()->chart()->clearSamples();
    auto *gas = child<QLCDNumber>("lcdNumber_ch1");
    const auto live = [this](const QByteArray &line) {
        QTest::qWait(5);
        m_h->window->writeATCDCommand();
        m_h->sim->sendRaw(line + "\r\n");
        QTest::qWait(50);
    };
    const QByteArray full = "ATCH 150.0,400.0,23.50,104.5,0.50000,100.0";
    live(full);
    m_h->checkShown({"doubleSpinBox_temperature=23.50\u00B0C", "doubleSpinBox_slope=0.50000 ppm/uV",
                     "doubleSpinBox_drift=4.50 uV"});
    live("ATCH 1,2,3,4,5"); // five fields: nothing changes
    QCOMPARE(gas->value(), 400.0);
    QCOMPARE(panel()->chart()->values1()[kLast - 1], Chart::NoValue);
    live("ATCH 150.0,----,----,----,0.60000,100.0"); // the last temperature kept, no drift level
    m_h->checkShown({"doubleSpinBox_temperature=23.50\u00B0C", "doubleSpinBox_slope=0.60000 ppm/uV",
                     "doubleSpinBox_drift=----"});
    live("ATCH 151.0,401.0,24.00,103.0,0.5,"); // an empty stored zero is no zero either
    m_h->checkShown({"doubleSpinBox_drift=----"});

    // uV shows field 0 and starts both charts afresh; nothing is sent.
    child("radioButton_microvolt")->click();
    m_h->checkShown({"label_unit_ch1=uV"});
    QCOMPARE(panel()->chart()->values1()[kLast], Chart::NoValue);
    QCOMPARE(panel()->chart()->values2()[kLast - 1], Chart::NoValue);
    live(full);
    QCOMPARE(gas->value(), 150.0);
    child("radioButton_ppm")->click();
    QCOMPARE(panel()->chart()->values1()[kLast], Chart::NoValue);
    QCOMPARE(m_h->commands(), QList<QByteArray>{});
}

void TestPanelModelsE2e::tq24_wizard_writesOnlyWhatFinishTook_data()
{
    QTest::addColumn<QStringList>("steps"); // FIELD=value, finish, cancel, escape, close (the port), unplug
    QTest::addColumn<QByteArray>("reply");  // to the write; empty: the simulator answers
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("stays"); // the wizard is still open at the end
    QTest::addColumn<QStringList>("shown");
    const auto row = [](const char *name, const QStringList &steps, const char *reply, const char *written,
                        const QStringList &boxes, bool stays, const QStringList &shown) {
        QTest::newRow(name) << steps << QByteArray(reply) << QByteArray(written) << boxes << stays << shown;
    };
    const QString failed = "ERROR|error! apply calibration settings...";
    // The answer holds all three values: the wizard may start from them.
    row("finish writes the page's values", {"ZERO=12.5", "SPAN=56.25", "PPM=400", "finish"}, "",
        "ATCCAL 400,12.5,56.25", {}, false,
        {"status=success! apply calibration settings.", "doubleSpinBox_zerocal=12.50 uV *",
         "doubleSpinBox_spancal=56.25 uV *", "doubleSpinBox_spancal_ppm=400.00 ppm *",
         "pushButton_mannual=enabled"});
    row("finish twice, an edit between: once, the first values", {"PPM=400", "finish", "PPM=999", "finish"},
        "", "ATCCAL 400,100,2100", {}, false, {});
    row("a value of the reply no number: failed, none shown", {"SPAN=2000", "finish"},
        "ATCCAL 1000.00,----,2000.00", "ATCCAL 1000,100,2000", {failed}, false,
        {"doubleSpinBox_spancal=2100.00 uV *"});
    row("cancel within the delay", {"finish", "cancel"}, "", "", {}, false, {});
    row("escape within the delay", {"finish", "escape"}, "", "", {}, false, {});
    row("port gone: the box, the wizard stays", {"close", "finish"}, "", "", {failed + "]"}, true, {});
    row("unplugged: the wizard closes, the panel waits for the device", {"unplug"}, "", "", {}, false, {});
    row("unplugged within the delay", {"finish", "unplug"}, "", "", {}, false, {});
}

void TestPanelModelsE2e::tq24_wizard_writesOnlyWhatFinishTook()
{
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, written);
    QFETCH(QStringList, boxes);
    QFETCH(bool, stays);
    QFETCH(QStringList, shown);
    QVERIFY(open(SimulatedDevice::Model::Tq24));
    child<QDoubleSpinBox>("doubleSpinBox_spancal_ppm")->setValue(77); // typed, never applied
    QPointer<Calibrator> shownPanel = panel();
    QPointer<CalibWizard> wizard = openWizard();
    QVERIFY(wizard && wizard->isVisible() && wizard->isModal());
    QCOMPARE(wizard->field("PPM").toDouble(), 1000.0); // the device's values
    QCOMPARE(wizard->field("ZERO").toDouble(), 100.0);
    QCOMPARE(wizard->field("SPAN").toDouble(), 2100.0);
    if (reply.isEmpty())
        m_h->sim->clearTranscript();
    else
        m_h->quiet();

    for (const QString &step : steps) {
        if (step.contains(QLatin1Char('=')))
            wizard->setField(step.section(QLatin1Char('='), 0, 0),
                             step.section(QLatin1Char('='), 1).toDouble());
        else if (step == QLatin1String("finish"))
            wizard->button(QWizard::FinishButton)->click();
        else if (step == QLatin1String("cancel"))
            wizard->button(QWizard::CancelButton)->click();
        else if (step == QLatin1String("escape"))
            QTest::keyClick(wizard, Qt::Key_Escape);
        else if (step == QLatin1String("close"))
            m_h->window->findChild<QSerialPort *>()->close();
        else
            m_h->unplug();
        QVERIFY(step != QLatin1String("finish") || wizard->isVisible()); // open until the device answers
    }
    if (!reply.isEmpty()) {
        QTRY_COMPARE(m_h->commands().size(), 1);
        m_h->sim->sendRaw(reply + "\r\n");
    }
    QTest::qWait(700);
    QCOMPARE(m_h->commands(), written.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{written + "\r\n"});
    QCOMPARE(bool(wizard), stays);
    QCOMPARE(m_h->boxTexts(), boxes);
    if (steps.contains(QStringLiteral("unplug"))) {
        // The panel waits for its device, no longer the window's current one.
        QTRY_VERIFY(!m_h->window->panelWidget() && shownPanel);
        QVERIFY(!m_h->window->isDeviceOpen() && m_h->window->deviceList()->isVisibleTo(m_h->window));
        return;
    }
    QVERIFY(stays || m_h->waitIdle());
    m_h->checkShown(shown);
    if (!shown.isEmpty()) {
        // Also a click a disabled button could not give: the wizard opens again only on the values
        // the device answered.
        emit child("pushButton_mannual")->clicked();
        const CalibWizard *again = m_h->panel<Tq24Calibrator>()->wizard();
        QCOMPARE(bool(again), shown.contains(QStringLiteral("pushButton_mannual=enabled")));
        if (again)
            QCOMPARE("ATCCAL " + offered(again).toLatin1(), written);
    }
}

// Unplugged while the box after a drift adjustment is open and the refresh runs beneath it.
void TestPanelModelsE2e::tq24_unplugged_underTheDriftBox_toolStaysAlive()
{
    QVERIFY(open(SimulatedDevice::Model::Tq24));
    QPointer<Calibrator> shown = panel();
    m_h->answer = sayYes;
    m_h->duringBox = [&](const MessageBoxes::Request &box) {
        if (box.icon == QMessageBox::Information) {
            QVERIFY(QTest::qWaitFor([this] { return m_h->commands().contains("ATCOFF1\r\n"); }, 2000));
            m_h->unplug();
        }
    };
    child("pushButton_driftadj")->click();
    QTRY_VERIFY(!m_h->window->panelWidget() && shown);
    QVERIFY(!m_h->window->isDeviceOpen() && m_h->window->deviceList()->isVisibleTo(m_h->window));
    QCOMPARE(m_h->boxTexts().last(), QStringLiteral("Drift Adj.|the Drift Adjustment is completed."));
}

// A technician reads the box after a drift adjustment for many reply time-outs: the refresh
// beneath it reads everything, the values stay in step and the live values keep coming.
void TestPanelModelsE2e::tq24_driftBoxHeldOpen_refreshAndPollsGoOnBeneathIt()
{
    QVERIFY(open(SimulatedDevice::Model::Tq24));
    m_h->setReplyTimeoutMs(200);
    m_h->answer = sayYes;
    QStringList statusDuringBox;
    QList<QByteArray> polls;
    m_h->duringBox = [&](const MessageBoxes::Request &box) {
        if (box.icon != QMessageBox::Information)
            return;
        const int before = m_h->sim->receivedCommands().size();
        for (int wait = 0; wait < 15; ++wait) {
            QTest::qWait(150);
            statusDuringBox.append(m_h->shortStatus());
        }
        polls = m_h->sim->receivedCommands().mid(before);
    };
    m_h->sim->clearTranscript();
    child("pushButton_driftadj")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_h->boxes.size(), 2, 5000);
    m_h->setReplyTimeoutMs(0);
    QVERIFY(m_h->waitIdle());
    QList<QByteArray> expected{"ATCDRFT\r\n"};
    expected += m_h->refreshCommands();
    QCOMPARE(m_h->commands(), expected);
    for (const QString &status : statusDuringBox)
        QVERIFY2(!status.contains("did not answer") && !status.contains("sends no values"),
                 qPrintable(status));
    QVERIFY2(polls.count("ATCH\r\n") >= 2, "the poll goes on while the box is open");
    m_h->checkShown({"status=success! refresh calibration settings.", "doubleSpinBox_offset_ch1=0.00 *",
                     "pushButton_mannual=enabled"});
    QVERIFY(!showsDashes(child<QLCDNumber>("lcdNumber_ch1")));
}

void TestPanelModelsE2e::pm_chart_spansThePollPeriodTheRateMenuSets()
{
    QVERIFY(open(SimulatedDevice::Model::Pm));
    QTRY_VERIFY(panel()->chart()->timeStamps()[kLast] != Chart::NoValue);
    QCOMPARE(panel()->chart()->pollPeriodMs(), PanelHarness::kPollPeriodMs);
    m_h->window->findChild<QAction *>(QStringLiteral("action2s"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(panel()->chart()->pollPeriodMs(), 2000, 5000);
}

QTEST_MAIN(TestPanelModelsE2e)
#include "tst_panelmodels_e2e.moc"
