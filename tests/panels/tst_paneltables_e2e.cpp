#include "app/translationloader.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panelharness.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLCDNumber>
#include <QRegularExpression>
#include <QTranslator>

namespace {

QString stamp(int y, int m, int d, int h, int min)
{
    return QString::number(QDateTime(QDate(y, m, d), QTime(h, min)).toTime_t());
}

QString iso(int y, int m, int d, int h, int min)
{
    return QDateTime(QDate(y, m, d), QTime(h, min)).toString(Qt::ISODate);
}

const QString kDegree(QChar(0x00B0));

// What the shared part shows for every panel, translated once in its own context.
const char *const kSharedTexts[] = {
    "error! apply calibration settings.",
    "error! apply calibration settings...",
    "success! apply calibration settings.",
    "get the device's information...",
    "success! refresh calibration settings.",
    "error! refresh calibration settings.",
    "error! refresh calibration settings...",
    "Last Calibration Time",
    "Do you want to change the update time?",
    "error!",
    "the device sends no values.",
    "error! the device did not answer %1.",
    "warning! the device's %1 is %2, which this panel cannot show.",
    "warning! the device kept %1, not %2.",
};

// Form texts that read the same in Korean: units, channel and model names, numbers.
bool sameInKorean(const QString &text)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    static const QStringList kept = {"ppm", "ppb",    "mbar",    "mmh2o", "ug/m3", "#/cm3",    "TVOC", "Humi",
                                     "CO2", "MODBUS", "REFRESH", "TX/RX", "uV",    "partical", "OFF"};
    QString rest = text;
    for (const QString &k : kept)
        rest.remove(k, Qt::CaseInsensitive);
    return !word.match(rest).hasMatch();
}

} // namespace

// Each model's settings as rows: what a refresh asks and shows, what an apply writes on the wire
// and shows after, how a live line reads, what a choice during a refresh sends; a new model adds
// its rows here and its actions to tst_panelmodels_e2e. The cases after the tables hold for every
// registered panel, one row each. Device faults are the fault matrix's; a box outliving its panel
// is tst_mainwindow's.
class TestPanelTablesE2e : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void cleanupTestCase() { m_h.reset(); } // a reused panel's messages while QTest can still log them
    void refresh_readsEachStepInTurn_showsTheDevicesValues_data();
    void refresh_readsEachStepInTurn_showsTheDevicesValues();
    void apply_writesTheWireCommand_showsTheConfirmedValue_data();
    void apply_writesTheWireCommand_showsTheConfirmedValue();
    void liveLine_valuesOrDashesAndGaps_data();
    void liveLine_valuesOrDashesAndGaps();
    void choiceDuringRefresh_sendsNothing_data();
    void choiceDuringRefresh_sendsNothing();
    void germanLocale_pointOrCommaTyped_pendingUntilApplied_data() { addPanelModelRows(); }
    void germanLocale_pointOrCommaTyped_pendingUntilApplied();
    void silentDevice_displaysAndStatusSayNoValues_data() { addPanelModelRows(); }
    void silentDevice_displaysAndStatusSayNoValues();
    void korean_formAndSharedTextsTranslated_data() { addPanelModelRows(); }
    void korean_formAndSharedTextsTranslated();
    void calibrationTime_passwordGatesTheWrite_refreshFollows_unplugClosesDialog_data()
    {
        addPanelModelRows();
    }
    void calibrationTime_passwordGatesTheWrite_refreshFollows_unplugClosesDialog();

private:
    // A fresh simulator and panel; with reuse, the previous row's when it is of the same model and
    // firmware and idle again.
    bool openModel(int model, const QByteArray &firmware, bool reuse = false);
    Calibrator *panel() const { return m_h->panel<Calibrator>(); }
    template <typename T = QWidget> T *child(const char *name) const { return m_h->child<T>(name); }
    QString status() const { return m_h->shortStatus(); }
    // Checks "object=text" entries (see shownText); "status" is the status bar.
    void checkShown(const QStringList &shown, const QString &defaultStatus);

    std::unique_ptr<PanelHarness> m_h;
    QByteArray m_opened; // model and firmware of m_h
    bool m_reusable = false;
};

void TestPanelTablesE2e::cleanup()
{
    if (!m_reusable || QTest::currentTestFailed()) {
        m_h.reset();
        m_opened.clear();
    }
    m_reusable = false;
    QLocale::setDefault(QLocale::c());
}

bool TestPanelTablesE2e::openModel(int model, const QByteArray &firmware, bool reuse)
{
    const QByteArray key = QByteArray::number(model) + ' ' + firmware;
    m_reusable = reuse;
    if (reuse && m_h && m_opened == key && m_h->waitIdle(1000)) {
        m_h->boxes.clear();
        return true;
    }
    m_opened = key;
    m_h.reset(); // before the new one: the old harness takes the box responder with it
    m_h = std::make_unique<PanelHarness>(simulatedModel(model));
    return (firmware.isEmpty() || m_h->sim->setFirmware(firmware)) && m_h->openIdle();
}

void TestPanelTablesE2e::checkShown(const QStringList &shown, const QString &defaultStatus)
{
    const bool statusGiven = !shown.filter(QRegularExpression(QStringLiteral("^status="))).isEmpty();
    m_h->checkShown(statusGiven ? shown : shown + QStringList{"status=" + defaultStatus});
    // A failure is said in a box too, a success never.
    QCOMPARE(m_h->boxes.isEmpty(), !status().startsWith(QLatin1String("error!")));
}

void TestPanelTablesE2e::refresh_readsEachStepInTurn_showsTheDevicesValues_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<QStringList>("device"); // the simulator's settings, WORD=value
    QTest::addColumn<QString>("words");      // what the refresh asks after the version, then the poll
    QTest::addColumn<QStringList>("shown");
    const auto row = [](const char *name, int model, const char *firmware, const QStringList &device,
                        const char *words, const QStringList &shown) {
        QTest::newRow(name) << model << QByteArray(firmware) << device << QString(words) << shown;
    };
    const QString deg = kDegree;
    const QString cannotShow = QStringLiteral("status=success! refresh calibration settings. warning! the "
                                              "device's %1 is %2, which this panel cannot show.");
    const QString failed = QStringLiteral("status=error! refresh calibration settings.");
    const char *pmWords = "ATCMODE ATCOFF1 ATCOFF2 ATCOFF3 ATCOFF4 ATCOFF5 ATCMODID ATCMODBR ATCMODSW "
                          "ATCMODTO ATCEXTM ATCUSED | ATCH";
    row("pm", 404, "",
        {"ATCOFF1=12.5", "ATCOFF2=-0.25", "ATCMODID=17", "ATCMODBR=9", "ATCMODSW=1", "ATCMODTO=2",
         "ATCEXTM=" + stamp(2026, 3, 14, 9, 26), "ATCUSED=876543"},
        pmWords,
        {"label_model=QD700-PM-2v1", "label_serial=SIM-0001", cannotShow.arg("MODBUS BaudRate").arg(9),
         "doubleSpinBox_offset_ch1=12.50 *", "doubleSpinBox_offset_ch2=-0.25 *", "spinBox_modbus_addr=17 *",
         "comboBox_modbus_baudrate=4800", "checkBox_modbus_byteswap=on", "comboBox_modbus_timeout=300 mSec *",
         "dateTimeEdit_exec_datetime=" + iso(2026, 3, 14, 9, 26), "spinBox_usedtime=876543 hours",
         "radioButton_mass=on", "label_unit_ch1=ug/m3", "groupBox_ch2=pm10.0"});
    row("pm, highest indices", 404, "", {"ATCMODBR=5", "ATCMODTO=4", "ATCMODE=1"}, pmWords,
        {"comboBox_modbus_baudrate=57600 *", "comboBox_modbus_timeout=2 Second *", "radioButton_number=on",
         "label_unit_ch2=#/cm3"});
    row("pm, address beyond the editor", 404, "", {"ATCMODID=300"}, pmWords,
        {cannotShow.arg("MODBUS Slave ID").arg(300), "spinBox_modbus_addr=255"});
    row("pm, unknown output mode", 404, "", {"ATCMODE=2"}, "ATCMODE | ATCH",
        {failed, "radioButton_mass=off", "radioButton_number=off"});

    const QStringList tq20 = {"ATCOFF1=1.25", "ATCWIN=17", "ATCBLDTM=" + stamp(2025, 11, 2, 8, 30)};
    row("tq20 1v1", 20, "1v1", tq20, "ATCMODE ATCOFF1 ATCOFF2 ATCVOCU ATCCU | ATCD",
        {"doubleSpinBox_offset_ch1=1.25 ppm *", "groupBox_usercal=VOC Calibration (In clean air)",
         "groupBox_factorycal=Factory Calibration (For 12 hours)", "groupBox_sensitivity=hidden",
         "groupBox_unit_ch1=hidden", "groupBox_last_calib_timestamp=hidden", "groupBox_usedtime=hidden",
         "groupBox_build_time=hidden", "radioButton_voc_co2=on"});
    row("tq20 2v0", 20, "2v0", tq20, "ATCMODE ATCOFF1 ATCOFF2 ATCVOCU ATCCU ATCWIN ATCEXTM | ATCD",
        {"groupBox_usercal=hidden", "groupBox_factorycal=hidden", "spinBox_sensitivity=17 *",
         "groupBox_unit_ch1=Unit", "groupBox_last_calib_timestamp=Last calibration date time",
         "groupBox_usedtime=hidden", "groupBox_build_time=hidden"});
    row("tq20 3v2", 20, "3v2", tq20,
        "ATCMODE ATCOFF1 ATCOFF2 ATCVOCU ATCCU ATCWIN ATCEXTM ATCUSED ATCBLDTM | ATCD",
        {"groupBox_usercal=hidden", "groupBox_usedtime=Used hours",
         "dateTimeEdit_build_time=" + iso(2025, 11, 2, 8, 30)});
    const char *tq20Words = "ATCMODE ATCOFF1 ATCOFF2 ATCVOCU ATCCU ATCWIN ATCEXTM ATCUSED ATCBLDTM | ATCD";
    const char *tq20OldWords = "ATCMODE ATCOFF1 ATCOFF2 ATCVOCU ATCCU | ATCD";
    row("tq20 humidity", 20, "3v2", {"ATCMODE=1", "ATCVOCU=1", "ATCCU=1"}, tq20Words,
        {"groupBox_ch1=TVOC", "groupBox_ch2=Absolute Humidity", "label_unit_ch1=ppb", "label_unit_ch2=g/m3",
         "doubleSpinBox_offset_ch2=0.00 g/m3 *", "groupBox_unit_ch2=hidden", "radioButton_voc_humi=on"});
    row("tq20 co2 ppm", 20, "2v0", {"ATCMODE=2", "ATCVOCU=0", "ATCCU=1"},
        "ATCMODE ATCOFF1 ATCOFF2 ATCVOCU ATCCU ATCWIN ATCEXTM | ATCD",
        {"groupBox_ch2=CO2", "label_unit_ch1=ppm", "label_unit_ch2=ppm",
         "doubleSpinBox_offset_ch2=0.00 ppm *", "radioButton_ppm_ch2=on", "radioButton_percent_ch2=off"});
    row("tq20 1v1 co2 percent", 20, "1v1", {"ATCMODE=2", "ATCVOCU=2", "ATCCU=1"}, tq20OldWords,
        {"label_unit_ch1=ppb", "label_unit_ch2=%", "radioButton_percent_ch2=on", "radioButton_ppm_ch2=off"});
    row("tq20 1v1 co2 ppm", 20, "1v1", {"ATCMODE=2", "ATCVOCU=1", "ATCCU=2"}, tq20OldWords,
        {"label_unit_ch1=ppm", "label_unit_ch2=ppm", "radioButton_ppm_ch2=on"});
    row("tq20 3v2 tvoc code 2", 20, "3v2", {"ATCMODE=1", "ATCVOCU=2"}, tq20Words,
        {"label_unit_ch1=", cannotShow.arg("Unit").arg(2)});
    row("tq20 1v1 co2 code 0", 20, "1v1", {"ATCMODE=2", "ATCCU=0"}, tq20OldWords,
        {"label_unit_ch2=", "radioButton_ppm_ch2=off", "radioButton_percent_ch2=off",
         cannotShow.arg("Unit").arg(0)});
    row("tq20 unknown sensor mode", 20, "3v2", {"ATCMODE=3"}, "ATCMODE | ATCD",
        {failed, "radioButton_voc_humi=off", "radioButton_voc_co2=off"});

    const char *tq21Old = "ATCOFF1 ATCOFF2 ATCCAL ATCCU | ATCD";
    const char *tq21New =
        "ATCOFF1 ATCOFF2 ATCCAL ATCCU ATCDGFIL ATCSPAN ATCSINFO ATCEXTM ATCUSED ATCBLDTM | ATCD";
    row("tq21 0v9 percent is 1", 21, "0v9", {"ATCCU=1", "ATCCAL=350"}, tq21Old,
        {"label_unit_ch1=%", "radioButton_percent_ch1=on", "radioButton_ppm_ch1=off",
         "doubleSpinBox_co2cal=350 ppm *", "groupBox_filter=hidden", "groupBox_barometer=hidden",
         "groupBox_versioninfo=hidden", "groupBox_last_calib_timestamp=hidden", "groupBox_usedtime=hidden",
         "groupBox_build_time=hidden"});
    row("tq21 0v9 ppm is 2", 21, "0v9", {"ATCCU=2"}, tq21Old,
        {"label_unit_ch1=ppm", "radioButton_ppm_ch1=on"});
    row("tq21 0v9 code 0", 21, "0v9", {"ATCCU=0"}, tq21Old,
        {"label_unit_ch1=", "radioButton_ppm_ch1=off", "radioButton_percent_ch1=off",
         cannotShow.arg("Unit").arg(0)});
    row("tq21 1v2 ppm is 1", 21, "1v2", {"ATCCU=1"},
        "ATCOFF1 ATCOFF2 ATCCAL ATCCU ATCDGFIL ATCSPAN ATCSINFO ATCEXTM | ATCD",
        {"label_unit_ch1=ppm", "groupBox_filter=Digital Filter", "groupBox_barometer=Barometric Pressure",
         "label_versioninfo=SIM-CO2-V1.2", "groupBox_last_calib_timestamp=Last calibration date time",
         "groupBox_usedtime=hidden", "groupBox_build_time=hidden"});
    row("tq21 1v5 percent is 0", 21, "1v5", {"ATCCU=0", "ATCDGFIL=7", "ATCSPAN=900"}, tq21New,
        {"label_unit_ch1=%", "spinBox_filter=7 *", "spinBox_barometer=900 mbar *",
         "groupBox_usedtime=Used hours", "groupBox_build_time=Build date time"});
    row("tq21 1v5 code 2", 21, "1v5", {"ATCCU=2"}, tq21New,
        {"label_unit_ch1=", cannotShow.arg("Unit").arg(2)});

    const char *tq22 = "ATCMODE ATCOFF1 ATCOFF2 | ATCD";
    const QString pressure = QStringLiteral("groupBox_ch2=Atmospheric pressure");
    row("tq22 1 O2 and temperature", 22, "", {"ATCMODE=1", "ATCOFF1=0.5"}, tq22,
        {"groupBox_ch1=O2", "groupBox_ch2=Temperature", "label_unit_ch1=%", "label_unit_ch2=" + deg + "C",
         "doubleSpinBox_offset_ch1=0.50% *", "doubleSpinBox_offset_ch2=0.00" + deg + "C *",
         "groupBox_tempoutput=Unit", "radioButton_type1=on", "radioButton_type2=off"});
    row("tq22 2 partial pressure", 22, "", {"ATCMODE=2"}, tq22,
        {pressure, "label_unit_ch1=mbar", "label_unit_ch2=mbar", "doubleSpinBox_offset_ch1=0.00mbar *",
         "doubleSpinBox_offset_ch2=0.00mbar *", "groupBox_tempoutput=hidden", "radioButton_type2=on",
         "radioButton_type1=off"});
    row("tq22 3 ppm, water column", 22, "", {"ATCMODE=3"}, tq22,
        {pressure, "label_unit_ch1=ppm", "label_unit_ch2=mmh2o", "doubleSpinBox_offset_ch1=0.00% *",
         "doubleSpinBox_offset_ch2=0.00mmh2o *", "radioButton_type3=on"});
    row("tq22 4 percent, pressure", 22, "", {"ATCMODE=4"}, tq22,
        {pressure, "label_unit_ch1=%", "label_unit_ch2=mbar", "doubleSpinBox_offset_ch2=0.00mbar *",
         "radioButton_type4=on"});
    row("tq22 5 unknown", 22, "", {"ATCMODE=5"}, "ATCMODE | ATCD",
        {failed, "groupBox_ch1=Channel 1", "groupBox_ch2=Channel 2",
         "label_unit_ch1=", "label_unit_ch2=", "radioButton_type1=off", "radioButton_type4=off"});

    row("tq24", 24, "",
        {"ATCOFF1=12.5", "ATCOFF2=-0.25", "ATCEXTM=" + stamp(2026, 5, 4, 8, 15), "ATCUSED=4321", "ATCMODE=1"},
        "ATCMODE ATCOFF1 ATCOFF2 ATCCSP ATCEXTM ATCUSED | ATCH",
        {"label_model=TQ24-1v5", "doubleSpinBox_offset_ch1=12.50 *", "doubleSpinBox_offset_ch2=-0.25 *",
         "doubleSpinBox_spancal_ppm=1000.00 ppm *", "doubleSpinBox_slope=0.50000 ppm/uV",
         "doubleSpinBox_zerocal=100.00 uV *", "doubleSpinBox_spancal=2100.00 uV *",
         "spinBox_usedtime=4321 hours", "dateTimeEdit_exec_datetime=" + iso(2026, 5, 4, 8, 15),
         "radioButton_filtergas=on", "radioButton_ppm=on", "radioButton_celsius=on", "label_unit_ch1=ppm",
         "label_unit_ch2=" + deg + "C", "groupBox_build_time=hidden", "pushButton_mannual=enabled"});
    // Zero, span and ppm were never read: the wizard must not offer 0, 0, 0 to write.
    row("tq24 unknown filter", 24, "", {"ATCMODE=2"}, "ATCMODE | ATCH",
        {failed, "pushButton_mannual=disabled"});
}

void TestPanelTablesE2e::refresh_readsEachStepInTurn_showsTheDevicesValues()
{
    QFETCH(int, model);
    QFETCH(QByteArray, firmware);
    QFETCH(QStringList, device);
    QFETCH(QString, words);
    QFETCH(QStringList, shown);
    m_h = std::make_unique<PanelHarness>(simulatedModel(model));
    QVERIFY(firmware.isEmpty() || m_h->sim->setFirmware(firmware));
    for (const QString &setting : device)
        QVERIFY(m_h->sim->setSetting(setting.section(QLatin1Char('='), 0, 0),
                                     setting.section(QLatin1Char('='), 1)));
    QVERIFY(m_h->openIdle());
    // Each command only after the previous reply, the first the host's command delay after the
    // version; no poll until the refresh has ended.
    QList<QByteArray> received;
    QVERIFY(m_h->commandsInTurn(&received));
    const auto transcript = m_h->sim->transcript();
    QVERIFY(transcript.size() > 2);
    QVERIFY2(transcript[2].timeMs - transcript[1].timeMs >= PanelHarness::kCommandDelayMs * 9 / 10,
             "the first refresh waits the command delay");
    const QByteArray poll = words.section(QLatin1String(" | "), 1).toLatin1() + "\r\n";
    QCOMPARE(m_h->window->pollCommand(), poll);
    while (received.size() > 1 && received.last() == poll)
        received.removeLast();
    QCOMPARE(QString::fromLatin1(received.join()).split(QLatin1String("\r\n"), Qt::SkipEmptyParts).join(' '),
             "ATCVER " + words.section(QLatin1String(" | "), 0, 0));
    checkShown(shown, QStringLiteral("success! refresh calibration settings."));
    QVERIFY(child("groupBox_ch1")->isEnabled()); // inputs back after the refresh, failed or not
    QTRY_VERIFY(m_h->sim->receivedCommands().contains(poll));
}

void TestPanelTablesE2e::apply_writesTheWireCommand_showsTheConfirmedValue_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<QString>("editor"); // set to "value" first, when named
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QStringList>("shown");
    const auto row = [](const char *name, int model, const char *firmware, const char *editor, double value,
                        const char *button, const char *wire, const QStringList &shown) {
        QTest::newRow(name) << model << QByteArray(firmware) << editor << value << button << QByteArray(wire)
                            << shown;
    };
    const QString deg = kDegree;
    const QString fahrenheit =
        QStringLiteral("status=success! apply the device's temperature mode to the fahrenheit mode.");
    row("pm largest offset", 404, "", "doubleSpinBox_offset_ch1", 1000000, "toolButton_offset_apply_ch1",
        "ATCOFF1 1000000.00", {"doubleSpinBox_offset_ch1=1000000.00 *"});
    row("pm negative offset", 404, "", "doubleSpinBox_offset_ch2", -0.25, "toolButton_offset_apply_ch2",
        "ATCOFF2 -0.25", {"doubleSpinBox_offset_ch2=-0.25 *"});
    row("pm slave id", 404, "", "spinBox_modbus_addr", 247, "toolButton_modbus_addr_apply", "ATCMODID 247",
        {"spinBox_modbus_addr=247 *"});
    row("pm highest baud rate", 404, "", "comboBox_modbus_baudrate", 5, "toolButton_modbus_baudrate_apply",
        "ATCMODBR 5", {"comboBox_modbus_baudrate=57600 *"});
    row("pm longest time-out", 404, "", "comboBox_modbus_timeout", 4, "toolButton_modbus_timeout_apply",
        "ATCMODTO 4", {"comboBox_modbus_timeout=2 Second *"});
    row("pm byte swap", 404, "", "checkBox_modbus_byteswap", 1, "toolButton_modbus_byteswap_apply",
        "ATCMODSW 1", {"checkBox_modbus_byteswap=on"});
    row("pm number output", 404, "", "", 0, "radioButton_number", "ATCMODE 1",
        {"label_unit_ch2=#/cm3", "radioButton_number=on"});

    row("tq20 offset", 20, "3v2", "doubleSpinBox_offset_ch2", -1.5, "toolButton_offset_apply_ch2",
        "ATCOFF2 -1.50", {"doubleSpinBox_offset_ch2=-1.50 ppm *"});
    row("tq20 sensitivity", 20, "3v2", "spinBox_sensitivity", 25, "toolButton_sensitivity_apply", "ATCWIN 25",
        {"spinBox_sensitivity=25 *"});
    row("tq20 humidity mode", 20, "3v2", "", 0, "radioButton_voc_humi", "ATCMODE 1",
        {"groupBox_ch2=Absolute Humidity", "label_unit_ch2=g/m3"});
    row("tq20 1v1 percent", 20, "1v1", "", 0, "radioButton_percent_ch2", "ATCCU 1", {"label_unit_ch2=%"});
    row("tq20 1v1 ppm", 20, "1v1", "", 0, "radioButton_ppm_ch2", "ATCCU 2", {"label_unit_ch2=ppm"});
    row("tq20 2v0 percent", 20, "2v0", "", 0, "radioButton_percent_ch2", "ATCCU 0", {"label_unit_ch2=%"});
    row("tq20 3v2 ppb", 20, "3v2", "", 0, "radioButton_ppb_ch1", "ATCVOCU 1", {"label_unit_ch1=ppb"});

    row("tq21 co2 calibration", 21, "", "doubleSpinBox_co2cal", 400, "toolButton_co2cal_apply",
        "ATCCAL 400.00", {"doubleSpinBox_co2cal=400 ppm *"});
    row("tq21 offset", 21, "", "doubleSpinBox_offset_ch1", -12.5, "toolButton_offset_apply_ch1",
        "ATCOFF1 -12.50", {"doubleSpinBox_offset_ch1=-12.50 ppm *"});
    row("tq21 smart filter", 21, "", "spinBox_filter", 0, "toolButton_filter_apply", "ATCDGFIL 0",
        {"spinBox_filter=0 *"});
    row("tq21 filter past 64", 21, "", "spinBox_filter", 99, "toolButton_filter_apply", "ATCDGFIL 64",
        {"spinBox_filter=64 *"});
    row("tq21 barometer below 843", 21, "", "spinBox_barometer", 100, "toolButton_barometer_apply",
        "ATCSPAN 843", {"spinBox_barometer=843 mbar *"});
    row("tq21 barometer past 1050", 21, "", "spinBox_barometer", 2000, "toolButton_barometer_apply",
        "ATCSPAN 1050", {"spinBox_barometer=1050 mbar *"});
    row("tq21 0v9 ppm", 21, "0v9", "", 0, "radioButton_ppm_ch1", "ATCCU 2", {"label_unit_ch1=ppm"});
    row("tq21 0v9 percent", 21, "0v9", "", 0, "radioButton_percent_ch1", "ATCCU 1", {"label_unit_ch1=%"});
    row("tq21 1v2 percent", 21, "1v2", "", 0, "radioButton_percent_ch1", "ATCCU 0", {"label_unit_ch1=%"});
    row("tq21 1v5 ppm", 21, "1v5", "", 0, "radioButton_ppm_ch1", "ATCCU 1",
        {"label_unit_ch1=ppm", "radioButton_ppm_ch1=on"});
    row("tq21 fahrenheit", 21, "", "", 0, "radioButton_fahrenheit", "ATCF",
        {fahrenheit, "label_unit_ch2=" + deg + "F", "doubleSpinBox_offset_ch2=0.00" + deg + "C *"});

    row("tq22 offset", 22, "", "doubleSpinBox_offset_ch1", 1.25, "toolButton_offset_apply_ch1",
        "ATCOFF1 1.25", {"doubleSpinBox_offset_ch1=1.25% *"});
    row("tq22 fahrenheit", 22, "", "", 0, "radioButton_fahrenheit", "ATCF",
        {fahrenheit, "label_unit_ch2=" + deg + "F"});

    row("tq22 type 2", 22, "", "", 0, "radioButton_type2", "ATCMODE 2",
        {"label_unit_ch2=mbar", "groupBox_tempoutput=hidden"});
    // The unit chosen before type 2 is back with type 1.
    row("tq22 type 1 after fahrenheit", 22, "", "", 0, "radioButton_type1", "ATCMODE 1",
        {"groupBox_tempoutput=Unit", "radioButton_fahrenheit=on", "label_unit_ch2=" + deg + "F"});

    row("tq24 offset", 24, "", "doubleSpinBox_offset_ch2", -1, "toolButton_offset_apply_ch2", "ATCOFF2 -1.00",
        {"doubleSpinBox_offset_ch2=-1.00 *"});
    row("tq24 raw gas", 24, "", "", 0, "radioButton_rawgas", "ATCMODE 0",
        {"status=success! apply sensor output mode settings.", "radioButton_filtergas=off"});
    row("tq24 fahrenheit", 24, "", "", 0, "radioButton_fahrenheit", "ATCF",
        {fahrenheit, "label_unit_ch2=" + deg + "F"});
}

void TestPanelTablesE2e::apply_writesTheWireCommand_showsTheConfirmedValue()
{
    QFETCH(int, model);
    QFETCH(QByteArray, firmware);
    QFETCH(QString, editor);
    QFETCH(double, value);
    QFETCH(QString, button);
    QFETCH(QByteArray, wire);
    QFETCH(QStringList, shown);
    QVERIFY(openModel(model, firmware, true));
    QWidget *widget = editor.isEmpty() ? nullptr : child(qPrintable(editor));
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(widget))
        spin->setProperty("value", value);
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setCurrentIndex(int(value));
    else if (auto *box = qobject_cast<QCheckBox *>(widget))
        box->setChecked(value != 0);
    QVERIFY(editor.isEmpty() || widget);
    m_h->sim->clearTranscript();
    child<QAbstractButton>(qPrintable(button))->click();
    QVERIFY(!m_h->window->pollTimer()->isActive());
    QTRY_VERIFY(!m_h->commands().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{wire + "\r\n"});
    // The device holds what was written.
    const QList<QByteArray> words = wire.split(' ');
    const QVariant held = m_h->sim->setting(QString::fromLatin1(words.first()));
    if (words.size() == 2 && held.isValid())
        QCOMPARE(held.toDouble(), words.last().toDouble());
    checkShown(shown, QStringLiteral("success! apply calibration settings."));
}

void TestPanelTablesE2e::liveLine_valuesOrDashesAndGaps_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("ch1"); // NaN: no value, drawn as dashes and left out of the chart
    QTest::addColumn<double>("ch2");
    const double none = qQNaN();
    QTest::newRow("pm") << 404 << QByteArray("ATCH 5,6,7,8,9,10") << 5.0 << 6.0;
    QTest::newRow("pm no value") << 404 << QByteArray("ATCH 5,----,7,8,9,10") << 5.0 << none;
    QTest::newRow("pm short line") << 404 << QByteArray("ATCH 1,2,3") << none << none;
    QTest::newRow("tq20") << 20 << QByteArray("ATCD12.5,0.8") << 12.5 << 0.8;
    QTest::newRow("tq20 no value") << 20 << QByteArray("ATCD----,0.8") << none << 0.8;
    QTest::newRow("tq20 not a number") << 20 << QByteArray("ATCD12.5,x9") << 12.5 << none;
    QTest::newRow("tq20 short line") << 20 << QByteArray("ATCD12.5") << 12.5 << none;
    QTest::newRow("tq21 short line") << 21 << QByteArray("ATCD 650") << 650.0 << none;
    QTest::newRow("tq22") << 22 << QByteArray("ATCD 20.9,23.5") << 20.9 << 23.5;
    QTest::newRow("tq24") << 24 << QByteArray("ATCH 150.0,400.0,23.50,104.5,0.50000,100.0") << 400.0 << 23.5;
    QTest::newRow("tq24 no value") << 24 << QByteArray("ATCH 150.0,----,----,----,0.6,100.0") << none << none;
}

void TestPanelTablesE2e::liveLine_valuesOrDashesAndGaps()
{
    QFETCH(int, model);
    QFETCH(QByteArray, line);
    QFETCH(double, ch1);
    QFETCH(double, ch2);
    QVERIFY(openModel(model, QByteArray()));
    m_h->quiet();
    QTest::qWait(50); // a reply already on its way lands before the poll below
    panel()->chart()->clearSamples();
    m_h->window->writeATCDCommand();
    m_h->sim->sendRaw(line + "\r\n");
    const int last = ChartView::kSampleCount - 1;
    QTRY_VERIFY(panel()->chart()->timeStamps()[last] != Chart::NoValue);
    const double values[] = {ch1, ch2};
    const double charted[] = {panel()->chart()->values1()[last], panel()->chart()->values2()[last]};
    for (int i = 0; i < 2; ++i) {
        auto *lcd = child<QLCDNumber>(i ? "lcdNumber_ch2" : "lcdNumber_ch1");
        QCOMPARE(lcd->value(), qIsNaN(values[i]) ? 0.0 : values[i]);
        if (qIsNaN(values[i]))
            QVERIFY(showsDashes(lcd)); // not the field's text nor nothing
        QCOMPARE(charted[i], qIsNaN(values[i]) ? Chart::NoValue : values[i]);
    }
}

void TestPanelTablesE2e::choiceDuringRefresh_sendsNothing_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button");
    QTest::newRow("pm output mode") << 404 << "radioButton_number";
    QTest::newRow("tq20 sensor mode") << 20 << "radioButton_voc_humi";
    QTest::newRow("tq21 co2 unit") << 21 << "radioButton_percent_ch1";
    QTest::newRow("tq22 sensor type") << 22 << "radioButton_type2";
    QTest::newRow("tq24 filter") << 24 << "radioButton_rawgas";
    QTest::newRow("tq24 temperature unit") << 24 << "radioButton_fahrenheit";
}

// Clicked as a locked button would never be: the panel itself must hold the write back.
void TestPanelTablesE2e::choiceDuringRefresh_sendsNothing()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QVERIFY(openModel(model, QByteArray(), true));
    const QList<QByteArray> refresh = m_h->refreshCommands();
    m_h->sim->setReplyDelayMs(250);
    child<QAbstractButton>("pushButton_refresh")->click();
    QTRY_COMPARE(panel()->mode(), int(Calibrator::REFRESH));
    m_h->sim->clearTranscript();
    auto *choice = child<QAbstractButton>(qPrintable(button));
    // Both ways a click reaches a panel: its group's signal and the button's own.
    if (QButtonGroup *group = choice->group())
        emit group->idClicked(group->id(choice));
    emit choice->clicked(true);
    QVERIFY(m_h->waitIdle(8000));
    m_h->sim->setReplyDelayMs(0);
    QTest::qWait(600);
    for (const QByteArray &command : m_h->commands())
        QVERIFY2(refresh.contains(command), command.constData());
    QCOMPARE(m_h->boxTexts(), QStringList{});
}

void TestPanelTablesE2e::germanLocale_pointOrCommaTyped_pendingUntilApplied()
{
    QFETCH(int, model);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(openModel(model, QByteArray()));
    auto *offset = child<QDoubleSpinBox>("doubleSpinBox_offset_ch1");
    for (const char *typed : {"1.5", "1,5"}) {
        offset->setFocus();
        offset->selectAll();
        QTest::keyClicks(offset, QLatin1String(typed));
        offset->interpretText();
        QCOMPARE(offset->value(), 1.5);
    }
    QCOMPARE(shownText(offset, panel()).right(2), QStringLiteral(" ~"));
    m_h->sim->clearTranscript();
    QTest::mouseClick(child("toolButton_offset_apply_ch1"), Qt::LeftButton);
    QTRY_VERIFY(!m_h->commands().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCOFF1 1.50\r\n"});
    QCOMPARE(shownText(offset, panel()).right(2), QStringLiteral(" *"));
}

// A late reply that merely starts with the poll word is tst_commandset's.
void TestPanelTablesE2e::silentDevice_displaysAndStatusSayNoValues()
{
    QFETCH(int, model);
    QVERIFY(openModel(model, QByteArray()));
    auto *lcd = child<QLCDNumber>("lcdNumber_ch1");
    QTRY_VERIFY(lcd->value() != 0.0 || m_h->sim->receivedCommands().size() > 2);
    m_h->sim->setResponding(false);
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("the device sends no values."), 4000);
    QCOMPARE(lcd->value(), 0.0);
    m_h->sim->setResponding(true);
    QTRY_VERIFY_WITH_TIMEOUT(status().isEmpty(), 2000);
}

void TestPanelTablesE2e::korean_formAndSharedTextsTranslated()
{
    QFETCH(int, model);
    QTranslator translator;
    QVERIFY(loadTranslation(translator, QStringLiteral("ko_KR")));
    QCoreApplication::installTranslator(&translator);
    m_h = std::make_unique<PanelHarness>(simulatedModel(model));
    const bool created = m_h->openPanel();
    QStringList untranslated;
    const auto check = [&](const QString &text) {
        if (!text.isEmpty() && !sameInKorean(text))
            untranslated.append(text);
    };
    // Labels before the device has filled any with its own texts; titles and buttons also after.
    for (QLabel *label : created ? panel()->findChildren<QLabel *>() : QList<QLabel *>()) {
        if (label->objectName() != QLatin1String("label_model") &&
            label->objectName() != QLatin1String("label_serial"))
            check(label->text());
    }
    const bool opened = created && m_h->waitIdle();
    // A shared text as this panel shows it: the end of the first refresh.
    const QString refreshed = status();
    QCoreApplication::removeTranslator(&translator);
    QVERIFY(opened);
    QCOMPARE(refreshed, translator.translate("Calibrator", "success! refresh calibration settings."));
    for (const char *text : kSharedTexts) {
        if (translator.translate("Calibrator", text).isEmpty())
            untranslated.append(QLatin1String(text));
    }
    for (QGroupBox *box : panel()->findChildren<QGroupBox *>())
        check(box->title());
    for (QAbstractButton *button : panel()->findChildren<QAbstractButton *>())
        check(button->text());
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1String(" | "))));
}

void TestPanelTablesE2e::calibrationTime_passwordGatesTheWrite_refreshFollows_unplugClosesDialog()
{
    QFETCH(int, model);
    QVERIFY(openModel(model, QByteArray()));
    auto *stamp = child<QAbstractButton>("toolButton_exec_datetime");
    if (!stamp || !stamp->isVisibleTo(panel()))
        QSKIP("no calibration time on this panel");
    m_h->answer = sayYes;
    m_h->sim->clearTranscript();
    QVERIFY(m_h->enterPassword(stamp, QStringLiteral("wrong")));
    QTRY_COMPARE(m_h->boxTexts().last(), QStringLiteral("Error|error!"));
    QTest::qWait(600);
    QVERIFY(m_h->commands().isEmpty());

    const uint before = QDateTime::currentDateTime().toTime_t();
    QVERIFY(m_h->enterPassword(stamp, QStringLiteral("quirbentol57")));
    QTRY_VERIFY(m_h->commands().size() > 1);
    QVERIFY(m_h->waitIdle());
    const QByteArray written = m_h->commands().first();
    const uint now = written.mid(8).trimmed().toUInt();
    QVERIFY2(written.startsWith("ATCEXTM ") && written.endsWith("\r\n") && now >= before &&
                 now <= QDateTime::currentDateTime().toTime_t(),
             written.constData());
    QCOMPARE(m_h->commands().mid(1), m_h->refreshCommands());
    QCOMPARE(child<QDateTimeEdit>("dateTimeEdit_exec_datetime")->dateTime().toTime_t(), now);

    // Unplugged with the dialog open: the dialog goes with the panel.
    stamp->click();
    QPointer<PasswordDlg> dialog = openPasswordDialog();
    QVERIFY(dialog);
    m_h->unplug();
    QTRY_VERIFY(!dialog);
    QVERIFY(m_h->window->deviceList()->isVisibleTo(m_h->window));
}

QTEST_MAIN(TestPanelTablesE2e)
#include "tst_paneltables_e2e.moc"
