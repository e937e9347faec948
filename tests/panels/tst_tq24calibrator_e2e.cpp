#include "app/mainwindowtesting.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panelharness.h"
#include "panels/calibratescaler.h"
#include "panels/calibwizard.h"
#include "panels/tq24calibrator.h"

#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QSerialPort>
#include <QSpinBox>

namespace {

const QList<QByteArray> kRefreshOrder = {"ATCMODE\r\n", "ATCOFF1\r\n", "ATCOFF2\r\n",
                                         "ATCCSP\r\n",  "ATCEXTM\r\n", "ATCUSED\r\n"};
const QLatin1String kInSync(Calibrator::kInSyncStyle);
const int kLast = ChartView::kSampleCount - 1;

} // namespace

// The TQ24 gas panel and its calibration wizard against the simulator, through the main window.
class TestTq24CalibratorE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_h.reset(); }
    void identification_refreshReadsInOrderFillsBoxesThenPolls();
    void liveLines_shortDashedAndUnitSwitch();
    void refreshWithUnknownFilter_endsWithBoxAndNoWizard();
    void actions_writeAndShowTheDevicesAnswer_data();
    void actions_writeAndShowTheDevicesAnswer();
    void filterAndTemperatureUnit_ownTextsRefusalsAndBusy();
    void wizard_finishWritesWhatThePageShowedAndClosesOnReply_data();
    void wizard_finishWritesWhatThePageShowedAndClosesOnReply();
    void wizard_closingBeforeTheWriteAndRefusedValues();
    void unplugged_wizardDelayQuestionsAndInfoBox_toolStaysAlive();

private:
    bool openIdle() { return m_h->openIdle() && panel(); }
    Tq24Calibrator *panel() const { return m_h->panel<Tq24Calibrator>(); }
    template <typename T = QAbstractButton> T *child(const char *name) const { return m_h->child<T>(name); }
    QString text(const char *spinBox) const { return child<QAbstractSpinBox>(spinBox)->text(); }
    QString status() const { return m_h->shortStatus(); }
    CalibWizard *openWizard()
    {
        child("pushButton_mannual")->click();
        return panel()->wizard();
    }
    void quiet()
    {
        m_h->window->setPollTimerActive(false);
        m_h->sim->setResponding(false);
        m_h->sim->clearTranscript();
    }

    std::unique_ptr<PanelHarness> m_h;
};

void TestTq24CalibratorE2e::init()
{
    pollIntervalMs = 500;
    m_h = std::make_unique<PanelHarness>(SimulatedDevice::Model::Tq24, QStringLiteral("SIM-TQ24-0001"));
}

void TestTq24CalibratorE2e::identification_refreshReadsInOrderFillsBoxesThenPolls()
{
    const QDateTime calibrated(QDate(2026, 5, 4), QTime(8, 15, 0));
    for (const auto &setting : QList<QPair<const char *, QVariant>>{{"ATCOFF1", 12.5},
                                                                    {"ATCOFF2", -0.25},
                                                                    {"ATCEXTM", calibrated.toTime_t()},
                                                                    {"ATCUSED", 4321},
                                                                    {"ATCMODE", 1}})
        m_h->sim->setSetting(QLatin1String(setting.first), setting.second);
    QVERIFY(m_h->openPanel());
    QCOMPARE(m_h->window->pollCommand(), QByteArray("ATCH\r\n"));
    m_h->sim->clearTranscript();
    QVERIFY(m_h->waitIdle());
    QList<QByteArray> received;
    QVERIFY(m_h->commandsInTurn(&received));
    QCOMPARE(received, kRefreshOrder);
    QTRY_VERIFY(m_h->sim->receivedCommands().contains("ATCH\r\n"));

    QCOMPARE(child<QLabel>("label_model")->text(), QStringLiteral("TQ24-1v5"));
    const QList<std::tuple<const char *, const char *, bool>> shown = {
        {"doubleSpinBox_offset_ch1", "12.50", true},        {"doubleSpinBox_offset_ch2", "-0.25", true},
        {"doubleSpinBox_spancal_ppm", "1000.00 ppm", true}, {"doubleSpinBox_slope", "0.50000 ppm/uV", false},
        {"doubleSpinBox_zerocal", "100.00 uV", true},       {"doubleSpinBox_spancal", "2100.00 uV", true},
        {"spinBox_usedtime", "4321 hours", false}};
    for (const auto &[editor, shownText, inSync] : shown) {
        QCOMPARE(text(editor), QLatin1String(shownText));
        QVERIFY2((child<QWidget>(editor)->styleSheet() == kInSync) == inSync, editor);
    }
    QCOMPARE(child<QDateTimeEdit>("dateTimeEdit_exec_datetime")->dateTime(), calibrated);
    QVERIFY(child("radioButton_filtergas")->isChecked());
    QVERIFY(child("radioButton_ppm")->isChecked() && child("radioButton_celsius")->isChecked());
    QCOMPARE(child<QLabel>("label_unit_ch1")->text(), QStringLiteral("ppm"));
    QCOMPARE(child<QLabel>("label_unit_ch2")->text(), QStringLiteral("\u00B0C"));
    QVERIFY(!child<QGroupBox>("groupBox_build_time")->isVisibleTo(panel()));
    QVERIFY(child("pushButton_mannual")->isEnabled());
    QCOMPARE(status(), QStringLiteral("success! refresh calibration settings."));
}

void TestTq24CalibratorE2e::liveLines_shortDashedAndUnitSwitch()
{
    QVERIFY(openIdle());
    quiet();
    panel()->chart()->clearSamples();
    auto *gas = child<QLCDNumber>("lcdNumber_ch1");
    const auto live = [this](const QByteArray &line) {
        QTest::qWait(5);
        m_h->window->writeATCDCommand();
        m_h->sim->sendRaw(line + "\r\n");
        QTest::qWait(50);
    };
    const QList<QByteArray> lines = {"ATCH 150.0,400.0,23.50,104.5,0.50000,100.0", "ATCH 1,2,3,4,5",
                                     "ATCH 150.0,----,----,----,0.60000,100.0",
                                     "ATCH 151.0,401.0,24.00,103.0,0.5,"};
    live(lines[0]);
    QCOMPARE(gas->value(), 400.0);
    QCOMPARE(child<QLCDNumber>("lcdNumber_ch2")->value(), 23.5);
    QCOMPARE(text("doubleSpinBox_temperature"), QStringLiteral("23.50\u00B0C"));
    QCOMPARE(text("doubleSpinBox_slope"), QStringLiteral("0.50000 ppm/uV"));
    QCOMPARE(text("doubleSpinBox_drift"), QStringLiteral("4.50 uV"));
    QCOMPARE(panel()->chart()->values1()[kLast], 400.0);
    QCOMPARE(panel()->chart()->values2()[kLast], 23.5);

    live(lines[1]); // five fields: nothing changes
    QCOMPARE(gas->value(), 400.0);
    QCOMPARE(panel()->chart()->values1()[kLast - 1], Chart::NoValue);

    live(lines[2]); // no gas, temperature or drift level: dashes, gaps, last values kept
    QCOMPARE(gas->value(), 0.0);
    QCOMPARE(panel()->chart()->values1()[kLast], Chart::NoValue);
    QCOMPARE(panel()->chart()->values2()[kLast], Chart::NoValue);
    QCOMPARE(text("doubleSpinBox_temperature"), QStringLiteral("23.50\u00B0C"));
    QCOMPARE(text("doubleSpinBox_slope"), QStringLiteral("0.60000 ppm/uV"));
    QCOMPARE(text("doubleSpinBox_drift"), QStringLiteral("----"));
    live(lines[3]); // an empty stored zero is no zero either
    QCOMPARE(text("doubleSpinBox_drift"), QStringLiteral("----"));

    // uV shows field 0 and starts both charts afresh; nothing is sent.
    child("radioButton_microvolt")->click();
    QCOMPARE(child<QLabel>("label_unit_ch1")->text(), QStringLiteral("uV"));
    QCOMPARE(panel()->chart()->values1()[kLast], Chart::NoValue);
    QCOMPARE(panel()->chart()->values2()[kLast - 1], Chart::NoValue);
    live(lines[0]);
    QCOMPARE(gas->value(), 150.0);
    child("radioButton_ppm")->click();
    QCOMPARE(panel()->chart()->values1()[kLast], Chart::NoValue);
    QCOMPARE(m_h->commands(), QList<QByteArray>{});
}

void TestTq24CalibratorE2e::refreshWithUnknownFilter_endsWithBoxAndNoWizard()
{
    m_h->sim->setSetting("ATCMODE", 2);
    QVERIFY(openIdle());
    QCOMPARE(m_h->boxTexts(), QStringList{"ERROR|error! refresh calibration settings..."});
    QCOMPARE(m_h->commands(), (QList<QByteArray>{"ATCVER\r\n", "ATCMODE\r\n"}));
    // Zero, span and ppm were never read: the wizard must not offer 0,0,0 to write.
    QVERIFY(child<QGroupBox>("groupBox_ch1")->isEnabled());
    QVERIFY(!child("pushButton_mannual")->isEnabled());
    emit child("pushButton_mannual")->clicked();
    QVERIFY(!panel()->wizard());
}

void TestTq24CalibratorE2e::actions_writeAndShowTheDevicesAnswer_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply"); // empty: the simulator answers
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("shown"); // editor=text
    QTest::addColumn<bool>("wizardOffered");
    const auto row = [](const char *name, const char *button, const char *reply,
                        const QList<QByteArray> &commands, const QStringList &boxes, const char *status,
                        const QStringList &shown, bool offered) {
        QTest::newRow(name) << button << QByteArray(reply) << commands << boxes << status << shown << offered;
    };
    const QString drift = "Drift Adjustment.|Do you want to Drift Adjustment?";
    const QString zero = "Zero Calibration|Do you want to calibrate for Zero?";
    const QString failed = "ERROR|error! apply calibration settings...";
    const char *applied = "success! apply calibration settings.";
    const char *notApplied = "error! apply calibration settings.";
    row("drift accepted: refresh, then the box", "pushButton_driftadj", "",
        QList<QByteArray>{"ATCDRFT\r\n"} + kRefreshOrder,
        {drift, "Drift Adj.|the Drift Adjustment is completed."}, "success! refresh calibration settings.",
        {}, true);
    row("drift refused", "pushButton_driftadj", "ATCDRFT", {"ATCDRFT\r\n"},
        {drift, "Drift Adj.|the Drift Adjustment is failed!"}, notApplied, {}, false);
    row("zero", "toolButton_zerocal_apply", "ATCCZR 98.76", {"ATCCZR\r\n"}, {zero}, applied,
        {"doubleSpinBox_zerocal=98.76 uV"}, false);
    row("zero without a number", "toolButton_zerocal_apply", "ATCCZRERROR", {"ATCCZR\r\n"}, {zero, failed},
        notApplied, {"doubleSpinBox_zerocal=100.00 uV"}, false);
    row("span, four fields", "toolButton_spancal_apply", "ATCCSP 500.00,0.25000,98.00,2098.00",
        {"ATCCSP 500.00\r\n"}, {}, applied,
        {"doubleSpinBox_spancal_ppm=500.00 ppm", "doubleSpinBox_slope=0.25000 ppm/uV",
         "doubleSpinBox_zerocal=98.00 uV", "doubleSpinBox_spancal=2098.00 uV"},
        true);
    row("span, three fields", "toolButton_spancal_apply", "ATCCSP 500.00,0.25000,98.00",
        {"ATCCSP 500.00\r\n"}, {failed}, notApplied, {"doubleSpinBox_spancal=2100.00 uV"}, false);
    row("span, a field without a number", "toolButton_spancal_apply", "ATCCSP 500.00,----,98.00,2098.00",
        {"ATCCSP 500.00\r\n"}, {failed}, notApplied, {"doubleSpinBox_zerocal=100.00 uV"}, false);
}

void TestTq24CalibratorE2e::actions_writeAndShowTheDevicesAnswer()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, reply);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QStringList, boxes);
    QFETCH(QString, status);
    QFETCH(QStringList, shown);
    QFETCH(bool, wizardOffered);

    QVERIFY(openIdle());
    child<QDoubleSpinBox>("doubleSpinBox_spancal_ppm")->setValue(500);
    m_h->answer = sayYes;
    m_h->duringBox = [](const MessageBoxes::Request &) { QTest::qWait(300); }; // replies arrive meanwhile
    if (reply.isEmpty())
        m_h->sim->clearTranscript();
    else
        quiet();
    child(qPrintable(button))->click();
    QTRY_VERIFY(!m_h->commands().isEmpty());
    if (!reply.isEmpty())
        m_h->sim->sendRaw(reply + "\r\n");
    QTRY_COMPARE(m_h->commands(), commands);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->boxTexts(), boxes);
    QCOMPARE(this->status(), status);
    for (const QString &entry : shown)
        QCOMPARE(text(qPrintable(entry.section('=', 0, 0))), entry.section('=', 1));
    QCOMPARE(child("pushButton_mannual")->isEnabled(), wizardOffered);
}

void TestTq24CalibratorE2e::filterAndTemperatureUnit_ownTextsRefusalsAndBusy()
{
    m_h->sim->setSetting("ATCMODE", 0);
    QVERIFY(openIdle());
    m_h->sim->clearTranscript();
    child("radioButton_filtergas")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCMODE 1\r\n"});
    QCOMPARE(status(), QStringLiteral("success! apply sensor output mode settings."));
    QCOMPARE(panel()->sensorType(), 1);

    // A value the filter cannot have: its own failure texts, then the device is read again.
    quiet();
    child("radioButton_rawgas")->click();
    QTRY_COMPARE(m_h->commands(), QList<QByteArray>{"ATCMODE 0\r\n"});
    m_h->sim->setResponding(true);
    m_h->sim->sendRaw("ATCMODE 7\r\n");
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! apply sensor output mode settings..."});
    QTRY_VERIFY(m_h->commands().size() > 1);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands().mid(1), kRefreshOrder);
    QVERIFY(child("radioButton_filtergas")->isChecked());

    // Fahrenheit accepted, then Celsius refused: the button goes back to the unit in force.
    m_h->boxes.clear();
    m_h->sim->clearTranscript();
    child("radioButton_fahrenheit")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(status(),
             QStringLiteral("success! apply the device's temperature mode to the fahrenheit mode."));
    QCOMPARE(child<QLabel>("label_unit_ch2")->text(), QStringLiteral("\u00B0F"));
    m_h->sim->setRefuseActions(true);
    child("radioButton_celsius")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), (QList<QByteArray>{"ATCF\r\n", "ATCC\r\n"}));
    QCOMPARE(m_h->boxTexts(),
             QStringList{"ERROR|error! apply the device's temperature mode to the fahrenheit mode..."});
    QCOMPARE(status(), QStringLiteral("error! apply the device's temperature mode to the fahrenheit mode."));
    QVERIFY(child("radioButton_fahrenheit")->isChecked());

    // Asked for while a refresh runs: nothing is sent.
    m_h->sim->setRefuseActions(false);
    m_h->sim->setReplyDelayMs(250);
    child("pushButton_refresh")->click();
    QTRY_COMPARE(panel()->mode(), int(Calibrator::REFRESH));
    m_h->sim->clearTranscript();
    emit child("radioButton_celsius")->clicked(true);
    emit child("radioButton_rawgas")->clicked(true);
    QVERIFY(m_h->waitIdle());
    QTest::qWait(600);
    QCOMPARE(m_h->commands(), kRefreshOrder.mid(1));
}

void TestTq24CalibratorE2e::wizard_finishWritesWhatThePageShowedAndClosesOnReply_data()
{
    QTest::addColumn<double>("zero");
    QTest::addColumn<double>("span");
    QTest::addColumn<double>("ppm");
    QTest::addColumn<QByteArray>("command");
    // How values are written is the wizard's own test; here the page's text goes out as shown.
    QTest::newRow("general") << 12.5 << 56.25 << 400.0 << QByteArray("ATCCAL 400,12.5,56.25\r\n");
}

void TestTq24CalibratorE2e::wizard_finishWritesWhatThePageShowedAndClosesOnReply()
{
    QFETCH(double, zero);
    QFETCH(double, span);
    QFETCH(double, ppm);
    QFETCH(QByteArray, command);

    QVERIFY(openIdle());
    child<QDoubleSpinBox>("doubleSpinBox_spancal_ppm")->setValue(77); // typed, never applied
    QPointer<CalibWizard> wizard = openWizard();
    QVERIFY(wizard && wizard->isVisible() && wizard->isModal());
    QCOMPARE(wizard->field("PPM").toDouble(), 1000.0); // the device's values
    QCOMPARE(wizard->field("ZERO").toDouble(), 100.0);
    QCOMPARE(wizard->field("SPAN").toDouble(), 2100.0);
    wizard->setField("ZERO", zero);
    wizard->setField("SPAN", span);
    wizard->setField("PPM", ppm);

    m_h->sim->clearTranscript();
    wizard->button(QWizard::FinishButton)->click();
    QVERIFY(wizard->isVisible());
    QTRY_VERIFY(!wizard);
    QCOMPARE(m_h->commands(), QList<QByteArray>{command});
    QVERIFY(m_h->waitIdle());
    QCOMPARE(status(), QStringLiteral("success! apply calibration settings."));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_zerocal")->value(), zero);
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_spancal")->value(), span);
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_spancal_ppm")->value(), ppm);
    // What the device now holds in full is known again only from a new reading.
    QVERIFY(!child("pushButton_mannual")->isEnabled());
}

void TestTq24CalibratorE2e::wizard_closingBeforeTheWriteAndRefusedValues()
{
    QVERIFY(openIdle());
    m_h->sim->clearTranscript();
    QPointer<CalibWizard> wizard = openWizard();
    wizard->setField("PPM", 400.0);
    wizard->setField("SPAN", 2000.0);

    // Finish twice and an edit before the write: one command, with the values at the first Finish.
    wizard->button(QWizard::FinishButton)->click();
    wizard->setField("PPM", 999.0);
    wizard->button(QWizard::FinishButton)->click();
    QTRY_VERIFY(!wizard);
    QTest::qWait(600);
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCCAL 400,100,2000\r\n"});
    const auto refresh = [this] {
        m_h->sim->setResponding(true);
        child("pushButton_refresh")->click();
        QTest::qWait(600);
        return m_h->waitIdle();
    };

    // A reply whose values do not all read as numbers ends as failed and shows none of them.
    QVERIFY(refresh());
    wizard = openWizard();
    quiet();
    wizard->button(QWizard::FinishButton)->click();
    QTRY_COMPARE(m_h->commands().size(), 1);
    m_h->sim->sendRaw("ATCCAL 400.00,----,2000.00\r\n");
    QTRY_VERIFY(!wizard);
    QCOMPARE(m_h->boxTexts(), QStringList{"ERROR|error! apply calibration settings..."});
    QCOMPARE(text("doubleSpinBox_zerocal"), QStringLiteral("100.00 uV"));
    m_h->boxes.clear();

    // Cancel or Escape within the delay after Finish: nothing is sent and the poll resumes.
    QVERIFY(refresh());
    for (bool escape : {false, true}) {
        wizard = openWizard();
        QVERIFY(wizard);
        m_h->sim->clearTranscript();
        wizard->button(QWizard::FinishButton)->click();
        if (escape)
            QTest::keyClick(wizard, Qt::Key_Escape);
        else
            wizard->button(QWizard::CancelButton)->click();
        QVERIFY(!panel()->wizard());
        QTRY_VERIFY(!wizard);
        QTest::qWait(600);
        QVERIFY(m_h->waitIdle());
        QCOMPARE(m_h->commands(), QList<QByteArray>{});
    }

    // Port gone: the error box, and the wizard stays for another try.
    wizard = openWizard();
    m_h->window->findChild<QSerialPort *>()->close();
    wizard->button(QWizard::FinishButton)->click();
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! apply calibration settings...]"});
    QTest::qWait(100);
    QVERIFY(wizard && wizard->isVisible());
}

void TestTq24CalibratorE2e::unplugged_wizardDelayQuestionsAndInfoBox_toolStaysAlive()
{
    const auto replugIdle = [this] {
        m_h->replug();
        return openIdle();
    };
    const auto gone = [this](QPointer<Tq24Calibrator> panel) {
        return QTest::qWaitFor([&] { return !panel; }, 3000) && !m_h->window->isDeviceOpen() &&
               m_h->window->deviceList()->isVisibleTo(m_h->window);
    };

    // The wizard open, then Finish and unplugged within the delay: it goes with its panel, nothing sent.
    for (bool finished : {false, true}) {
        QVERIFY(finished ? replugIdle() : openIdle());
        QPointer<Tq24Calibrator> shown = panel();
        QPointer<CalibWizard> wizard = openWizard();
        m_h->sim->clearTranscript();
        if (finished)
            wizard->button(QWizard::FinishButton)->click();
        m_h->unplug();
        QVERIFY(gone(shown));
        QVERIFY(!wizard);
        QTest::qWait(600);
        QCOMPARE(m_h->commands(), QList<QByteArray>{});
    }

    // A question answered Yes after the device is gone writes nothing.
    for (const char *button : {"toolButton_zerocal_apply", "pushButton_driftadj"}) {
        QVERIFY(replugIdle());
        QPointer<Tq24Calibrator> shown = panel();
        m_h->sim->clearTranscript();
        m_h->answer = [&](const MessageBoxes::Request &) {
            m_h->unplug();
            return QMessageBox::Yes;
        };
        child(button)->click();
        QVERIFY(gone(shown));
        QTest::qWait(600);
        QCOMPARE(m_h->commands(), QList<QByteArray>{});
    }

    // Unplugged while the drift box is open and its refresh runs beneath it.
    QVERIFY(replugIdle());
    QPointer<Tq24Calibrator> shown = panel();
    m_h->answer = sayYes;
    m_h->duringBox = [&](const MessageBoxes::Request &box) {
        if (box.icon == QMessageBox::Information) {
            QVERIFY(QTest::qWaitFor([this] { return m_h->commands().contains("ATCOFF1\r\n"); }, 2000));
            m_h->unplug();
        }
    };
    child("pushButton_driftadj")->click();
    QVERIFY(gone(shown));
    QCOMPARE(m_h->boxTexts().last(), QStringLiteral("Drift Adj.|the Drift Adjustment is completed."));
}

QTEST_MAIN(TestTq24CalibratorE2e)
#include "tst_tq24calibrator_e2e.moc"
