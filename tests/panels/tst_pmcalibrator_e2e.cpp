#include "app/mainwindowtesting.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panelharness.h"
#include "panels/pmcalibrator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

namespace {

const QList<QByteArray> kRefreshOrder = {"ATCMODE\r\n",  "ATCOFF1\r\n",  "ATCOFF2\r\n",  "ATCOFF3\r\n",
                                         "ATCOFF4\r\n",  "ATCOFF5\r\n",  "ATCMODID\r\n", "ATCMODBR\r\n",
                                         "ATCMODSW\r\n", "ATCMODTO\r\n", "ATCEXTM\r\n",  "ATCUSED\r\n"};
const QLatin1String kInSync(Calibrator::kInSyncStyle);
const QLatin1String kPending(Calibrator::kPendingStyle);

} // namespace

// The particulate-matter panel against the simulator, through the main window and a real port.
class TestPmCalibratorE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_h.reset(); }
    void identification_refreshReadsEverySettingInOrderThenPolls();
    void liveLines_fillPreviewsPairAndChart();
    void applies_sendExactCommandsAndShowConfirmedValues_data();
    void applies_sendExactCommandsAndShowConfirmedValues();
    void outputMode_appliedClearsChart_unknownModeEndsInError();
    void pairChange_refreshesAndShowsThatPairsOffsets();
    void factoryReset_acceptedHandsOverToRefresh_refusedEndsAsFailed();
    void unexpectedReplies_endInErrorSeqWithBox();

private:
    bool openIdle() { return m_h->openIdle() && panel(); }
    PmCalibrator *panel() const { return m_h->panel<PmCalibrator>(); }
    template <typename T = QAbstractButton> T *child(const char *name) const { return m_h->child<T>(name); }
    QString status() const { return m_h->shortStatus(); }

    std::unique_ptr<PanelHarness> m_h;
};

void TestPmCalibratorE2e::init()
{
    pollIntervalMs = 500;
    m_h = std::make_unique<PanelHarness>(SimulatedDevice::Model::Pm, QStringLiteral("SIM-PM-0001"));
}

void TestPmCalibratorE2e::identification_refreshReadsEverySettingInOrderThenPolls()
{
    const QDateTime calibrated(QDate(2026, 3, 14), QTime(9, 26, 53));
    const QList<QPair<const char *, QVariant>> device = {
        {"ATCOFF1", 12.5}, {"ATCOFF2", -0.25}, {"ATCMODID", 17}, {"ATCMODBR", 9} /* out of range */,
        {"ATCMODSW", 1},   {"ATCMODTO", 2},    {"ATCEXTM", calibrated.toTime_t()}, {"ATCUSED", 876543}};
    for (const auto &setting : device)
        m_h->sim->setSetting(QLatin1String(setting.first), setting.second);

    unlockLog();
    QVERIFY(m_h->openPanel());
    QElapsedTimer sincePanel;
    sincePanel.start();
    QCOMPARE(m_h->window->pollCommand(), QByteArray("ATCH\r\n"));
    QCOMPARE(child<QLabel>("label_model")->text(), QStringLiteral("QD700-PM-2v1"));
    QCOMPARE(child<QLabel>("label_serial")->text(), QStringLiteral("SIM-PM-0001"));
    m_h->sim->clearTranscript();
    QTRY_VERIFY(!m_h->sim->receivedCommands().isEmpty());
    QVERIFY2(sincePanel.elapsed() >= 450, "the first refresh waits half a second");
    QVERIFY(m_h->waitIdle());

    // Each command only after the previous reply; no poll until the refresh has ended.
    QList<QByteArray> received;
    QVERIFY(m_h->commandsInTurn(&received));
    QCOMPARE(received.mid(0, 12), kRefreshOrder);
    const QString log = logText();
    for (const char *line : {"=============REFRESH MODE=============", "-------------REFRESH MODE-------------",
                             "writeCommand(ATCMODE[CR][LF]), mode=1", "parsingSequence() : ATCMODE0 m_seq : 8",
                             "writeCommand(ATCUSED[CR][LF]), mode=1", "END_SEQ"})
        QVERIFY2(log.contains(QLatin1String(line)), line);
    // A baud index the panel has no entry for is named in the status, not shown as in step.
    QVERIFY2(status().startsWith(QLatin1String("success! refresh calibration settings. warning!")) &&
                 status().contains(QLatin1String("BaudRate")) && status().contains(QLatin1String(" 9,")),
             qPrintable(status()));

    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 12.5);
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch2")->value(), -0.25);
    QCOMPARE(child<QSpinBox>("spinBox_modbus_addr")->value(), 17);
    QCOMPARE(child<QComboBox>("comboBox_modbus_baudrate")->currentIndex(), 0);
    QVERIFY(child<QCheckBox>("checkBox_modbus_byteswap")->isChecked());
    QCOMPARE(child<QComboBox>("comboBox_modbus_timeout")->currentIndex(), 2);
    QCOMPARE(child<QDateTimeEdit>("dateTimeEdit_exec_datetime")->dateTime(), calibrated);
    QCOMPARE(child<QSpinBox>("spinBox_usedtime")->text(), QStringLiteral("876543 hours"));
    for (const char *editor : {"doubleSpinBox_offset_ch1", "doubleSpinBox_offset_ch2", "spinBox_modbus_addr",
                               "comboBox_modbus_timeout"})
        QVERIFY2(child<QWidget>(editor)->styleSheet() == kInSync, editor);
    QCOMPARE(child<QWidget>("comboBox_modbus_baudrate")->styleSheet(), QString());
    QVERIFY(child("radioButton_mass")->isChecked());
    QCOMPARE(child<QLabel>("label_unit_ch1")->text(), QStringLiteral("ug/m3"));
    QCOMPARE(child<QGroupBox>("groupBox_ch2")->title(), QStringLiteral("pm10.0"));

    // A combo moved away from the device's value turns pending; moved back, in step again.
    auto *timeout = child<QComboBox>("comboBox_modbus_timeout");
    timeout->setCurrentIndex(0);
    QCOMPARE(timeout->styleSheet(), kPending);
    timeout->setCurrentIndex(2);
    QCOMPARE(timeout->styleSheet(), kInSync);
}

void TestPmCalibratorE2e::liveLines_fillPreviewsPairAndChart()
{
    m_h->sim->setSetting("ATCMODE", 0);
    QVERIFY(openIdle());
    child<QGroupBox>("groupBox_ch3_4")->setChecked(true);
    QTest::qWait(600);
    QVERIFY(m_h->waitIdle());
    m_h->window->setPollTimerActive(false);
    m_h->sim->setResponding(false);
    panel()->chart()->clearSamples();

    m_h->window->writeATCDCommand();
    m_h->sim->sendRaw("ATCH 5,6,7,----,9,10\r\n");
    QTRY_COMPARE(child<QLCDNumber>("lcdNumber_ch1")->value(), 7.0);
    for (int ch = 1; ch <= 6; ++ch) {
        auto *lcd = child<QLCDNumber>(("lcdNumber_preview_ch" + QByteArray::number(ch)).constData());
        QCOMPARE(lcd->value(), ch == 4 ? 0.0 : double(ch + 4));
        QVERIFY(litPixels(lcd) > 0); // "----" is drawn, not blank
    }
    QCOMPARE(child<QLCDNumber>("lcdNumber_ch2")->value(), 0.0);
    QVERIFY(litPixels(child<QLCDNumber>("lcdNumber_ch2")) > 0);
    const int last = ChartView::kSampleCount - 1;
    QCOMPARE(panel()->chart()->values1()[last], 7.0);
    QCOMPARE(panel()->chart()->values2()[last], Chart::NoValue);

    // Fewer than six fields: no value anywhere, dashes and a gap, never a made-up zero.
    QTest::qWait(5);
    m_h->window->writeATCDCommand();
    m_h->sim->sendRaw("ATCH 1,2,3\r\n");
    QTRY_COMPARE(panel()->chart()->values1()[last - 1], 7.0);
    QCOMPARE(child<QLCDNumber>("lcdNumber_preview_ch1")->value(), 0.0);
    QVERIFY(litPixels(child<QLCDNumber>("lcdNumber_preview_ch1")) > 0);
    QCOMPARE(panel()->chart()->values1()[last], Chart::NoValue);
    QCOMPARE(panel()->chart()->values2()[last], Chart::NoValue);

    // A second line for the same poll is shown but not charted over the first.
    m_h->sim->sendRaw("ATCH 5,6,8,8,9,10\r\n");
    QTRY_COMPARE(child<QLCDNumber>("lcdNumber_ch1")->value(), 8.0);
    QCOMPARE(panel()->chart()->values1()[last], Chart::NoValue);
}

void TestPmCalibratorE2e::applies_sendExactCommandsAndShowConfirmedValues_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("largest offset") << "doubleSpinBox_offset_ch1" << 1000000.0 << "toolButton_offset_apply_ch1"
                                    << QByteArray("ATCOFF1 1000000.00\r\n");
    QTest::newRow("negative offset") << "doubleSpinBox_offset_ch2" << -0.25 << "toolButton_offset_apply_ch2"
                                     << QByteArray("ATCOFF2 -0.25\r\n");
    QTest::newRow("slave id") << "spinBox_modbus_addr" << 247.0 << "toolButton_modbus_addr_apply"
                              << QByteArray("ATCMODID 247\r\n");
    QTest::newRow("highest baud rate") << "comboBox_modbus_baudrate" << 5.0 << "toolButton_modbus_baudrate_apply"
                               << QByteArray("ATCMODBR 5\r\n");
    QTest::newRow("longest time-out") << "comboBox_modbus_timeout" << 4.0 << "toolButton_modbus_timeout_apply"
                                      << QByteArray("ATCMODTO 4\r\n");
    QTest::newRow("byte swap") << "checkBox_modbus_byteswap" << 1.0 << "toolButton_modbus_byteswap_apply"
                               << QByteArray("ATCMODSW 1\r\n");
}

void TestPmCalibratorE2e::applies_sendExactCommandsAndShowConfirmedValues()
{
    QFETCH(QString, editor);
    QFETCH(double, value);
    QFETCH(QString, button);
    QFETCH(QByteArray, command);

    QVERIFY(openIdle());
    QWidget *widget = panel()->findChild<QWidget *>(editor);
    const bool coloured = !qobject_cast<QCheckBox *>(widget);
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(widget))
        spin->setProperty("value", value);
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setCurrentIndex(int(value));
    else
        qobject_cast<QCheckBox *>(widget)->setChecked(value != 0);
    QVERIFY(!coloured || widget->styleSheet() == kPending);

    m_h->sim->clearTranscript();
    panel()->findChild<QToolButton *>(button)->click();
    QVERIFY(!m_h->window->pollTimer()->isActive());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{command});
    QCOMPARE(m_h->sim->setting(QString::fromLatin1(command.left(command.indexOf(' ')))).toDouble(), value);
    QCOMPARE(status(), QStringLiteral("success! apply calibration settings."));
    QVERIFY(!coloured || widget->styleSheet() == kInSync);
    QVERIFY(m_h->boxes.isEmpty());
}

void TestPmCalibratorE2e::outputMode_appliedClearsChart_unknownModeEndsInError()
{
    QVERIFY(openIdle());
    QTRY_VERIFY(panel()->chart()->timeStamps()[ChartView::kSampleCount - 1] != Chart::NoValue);
    m_h->sim->clearTranscript();
    child("radioButton_number")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCMODE 1\r\n"});
    QCOMPARE(panel()->outputType(), 1);
    QCOMPARE(child<QLabel>("label_unit_ch2")->text(), QStringLiteral("#/cm3"));
    // The chart starts afresh in the new unit (at most the one poll since the end).
    QCOMPARE(panel()->chart()->timeStamps()[ChartView::kSampleCount - 3], Chart::NoValue);

    // Unanswered: the buttons go back to the mode the device confirmed.
    Calibrator::setReplyTimeoutMs(300);
    m_h->sim->setSilentWords({"ATCMODE"});
    child("radioButton_mass")->click();
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! change the sensor output mode..."});
    QVERIFY(m_h->waitIdle());
    QVERIFY(child("radioButton_number")->isChecked());
    Calibrator::setReplyTimeoutMs(0);
    m_h->sim->setSilentWords({});
    m_h->boxes.clear();

    m_h->sim->setSetting("ATCMODE", 2);
    child("pushButton_refresh")->click();
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! refresh calibration settings..."});
    QVERIFY(m_h->waitIdle());
    QVERIFY(child("radioButton_number")->isChecked());
    QCOMPARE(status(), QStringLiteral("error! refresh calibration settings."));
}

void TestPmCalibratorE2e::pairChange_refreshesAndShowsThatPairsOffsets()
{
    m_h->sim->setSetting("ATCOFF3", 3.5);
    m_h->sim->setSetting("ATCOFF4", 4.5);
    m_h->sim->setSetting("ATCOFF5", 5.5);
    QVERIFY(openIdle());
    m_h->sim->clearTranscript();
    child<QGroupBox>("groupBox_ch3_4")->setChecked(true);
    QVERIFY(!child<QGroupBox>("groupBox_ch1_2")->isChecked());
    QTRY_VERIFY(!m_h->commands().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), kRefreshOrder);
    QCOMPARE(child<QGroupBox>("groupBox_ch1")->title(), QStringLiteral("pm1.0"));
    QCOMPARE(child<QGroupBox>("groupBox_ch2")->title(), QStringLiteral("pm4.0"));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 3.5);
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch2")->value(), 4.5);

    // Pair 2: particle counts, and channel 2 has no offset to write.
    child<QGroupBox>("groupBox_ch5_6")->setChecked(true);
    QTest::qWait(600);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(child<QGroupBox>("groupBox_ch2")->title(), QStringLiteral("partical size"));
    QCOMPARE(child<QLabel>("label_unit_ch1")->text(), QStringLiteral("#/cm3"));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 5.5);
    QVERIFY(!child<QGroupBox>("groupBox_offset_ch2")->isVisibleTo(panel()));
    m_h->sim->clearTranscript();
    child("toolButton_offset_apply_ch2")->click();
    // Unchecking the selected pair selects nothing else.
    child<QGroupBox>("groupBox_ch5_6")->setChecked(false);
    QTest::qWait(700);
    QCOMPARE(panel()->selectedChannel(), 2);
    QVERIFY(m_h->commands().isEmpty());
    QVERIFY(m_h->window->pollTimer()->isActive());
}

void TestPmCalibratorE2e::factoryReset_acceptedHandsOverToRefresh_refusedEndsAsFailed()
{
    const QString question = QStringLiteral("Factory Reset|Your work will be erased. Would you like to continue?");
    QVERIFY(openIdle());
    m_h->sim->setSetting("ATCOFF1", 42.0);
    m_h->answer = sayYes;
    QStringList statusDuringBoxes;
    // A person reads the box for a while: the refresh's replies arrive meanwhile.
    m_h->duringBox = [&](const MessageBoxes::Request &) {
        statusDuringBoxes.append(status());
        QTest::qWait(800);
    };
    m_h->sim->clearTranscript();
    child("pushButton_factoryreset")->click();
    QTRY_VERIFY(m_h->commands().size() > 1);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCFTRST\r\n"} + kRefreshOrder);
    QCOMPARE(m_h->boxTexts(), (QStringList{question, "Factory Reset|the Factory Reset is completed."}));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 0.0); // the defaults were read back
    QVERIFY(!statusDuringBoxes.contains(QStringLiteral("success! apply calibration settings.")));

    // Refused: the panel says so once, and the apply ends as failed.
    m_h->boxes.clear();
    m_h->sim->setRefuseActions(true);
    m_h->sim->clearTranscript();
    child("pushButton_factoryreset")->click();
    QVERIFY(m_h->waitIdle());
    QTRY_COMPARE(m_h->commands(), QList<QByteArray>{"ATCFTRST\r\n"});
    QCOMPARE(m_h->boxTexts(), (QStringList{question, "Factory Reset|the Factory Reset is failed!"}));
    QCOMPARE(status(), QStringLiteral("error! apply calibration settings."));

    // No: nothing is written.
    m_h->answer = [](const MessageBoxes::Request &) { return QMessageBox::No; };
    m_h->sim->clearTranscript();
    child("pushButton_factoryreset")->click();
    QTest::qWait(700);
    QVERIFY(m_h->commands().isEmpty());
}

void TestPmCalibratorE2e::unexpectedReplies_endInErrorSeqWithBox()
{
    QVERIFY(openIdle());
    m_h->window->setPollTimerActive(false);
    m_h->sim->setResponding(false);
    m_h->sim->clearTranscript();

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
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 9.0);
        QCOMPARE(panel()->seq(), 0);
        QCOMPARE(child<QWidget>("spinBox_modbus_addr")->styleSheet(), QString());
    }
}

QTEST_MAIN(TestPmCalibratorE2e)
#include "tst_pmcalibrator_e2e.moc"
