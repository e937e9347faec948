#include "app/mainwindowtesting.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panelharness.h"
#include "panels/pmcalibrator.h"
#include "widgets/passworddlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

namespace {

const QList<QByteArray> kRefreshOrder = {"ATCMODE\r\n",  "ATCOFF1\r\n",  "ATCOFF2\r\n",  "ATCOFF3\r\n",
                                         "ATCOFF4\r\n",  "ATCOFF5\r\n",  "ATCMODID\r\n", "ATCMODBR\r\n",
                                         "ATCMODSW\r\n", "ATCMODTO\r\n", "ATCEXTM\r\n",  "ATCUSED\r\n"};

// Segments lit on a display (dark pixels inside its frame): none for empty text.
int litPixels(QLCDNumber *lcd)
{
    const QImage image = lcd->grab().toImage();
    int lit = 0;
    for (int y = 3; y < image.height() - 3; ++y) {
        for (int x = 3; x < image.width() - 3; ++x)
            lit += qGray(image.pixel(x, y)) < 96;
    }
    return lit;
}

QString styleOf(const QWidget *editor)
{
    return editor->styleSheet();
}

} // namespace

// The particulate-matter panel against the simulator, through the main window and a real port.
class TestPmCalibratorE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void identification_refreshReadsEverySettingInOrderThenPolls();
    void liveLines_fillPreviewsPairAndChart();
    void applies_sendExactCommandsAndShowConfirmedValues_data();
    void applies_sendExactCommandsAndShowConfirmedValues();
    void outputMode_appliedClearsChart_refusedValueEndsInError();
    void pairChange_refreshesAndShowsThatPairsOffsets();
    void factoryReset_acceptedHandsOverToRefresh_refusedEndsAsFailed();
    void calibrationTime_passwordRightWritesNow_wrongShowsError();
    void unexpectedReplies_endInErrorSeqWithBox();
    void stalledReply_refreshStaysUsableAndRecovers();
    void unplugged_midSequenceAndDuringBox_toolStaysAlive();

private:
    bool openIdle();
    PmCalibrator *panel() const { return m_h->panel<PmCalibrator>(); }
    template <typename T>
    T *child(const char *name) const
    {
        return panel()->findChild<T *>(QLatin1String(name));
    }

    std::unique_ptr<PanelHarness> m_h;
};

void TestPmCalibratorE2e::init()
{
    pollIntervalMs = 500;
    m_h = std::make_unique<PanelHarness>(SimulatedDevice::Model::Pm, QStringLiteral("SIM-PM-0001"));
}

void TestPmCalibratorE2e::cleanup()
{
    m_h.reset();
}

bool TestPmCalibratorE2e::openIdle()
{
    return m_h->openPanel() && panel() && m_h->waitIdle();
}

void TestPmCalibratorE2e::identification_refreshReadsEverySettingInOrderThenPolls()
{
    const QDateTime calibrated(QDate(2026, 3, 14), QTime(9, 26, 53));
    m_h->sim->setSetting("ATCOFF1", 12.5);
    m_h->sim->setSetting("ATCOFF2", -0.25);
    m_h->sim->setSetting("ATCMODID", 17);
    m_h->sim->setSetting("ATCMODBR", 9); // out of range: the combo keeps what it last read
    m_h->sim->setSetting("ATCMODSW", 1);
    m_h->sim->setSetting("ATCMODTO", 2);
    m_h->sim->setSetting("ATCEXTM", calibrated.toTime_t());
    m_h->sim->setSetting("ATCUSED", 876543);

    unlockLog();
    QVERIFY(m_h->openPanel());
    QElapsedTimer sincePanel;
    sincePanel.start();
    QVERIFY(panel());
    QCOMPARE(m_h->window->pollCommand(), QByteArray("ATCH\r\n"));
    QCOMPARE(child<QLabel>("label_model")->text(), QStringLiteral("QD700-PM-2v1"));
    QCOMPARE(child<QLabel>("label_serial")->text(), QStringLiteral("SIM-PM-0001"));
    m_h->sim->clearTranscript();
    QTRY_VERIFY(!m_h->sim->receivedCommands().isEmpty());
    QVERIFY2(sincePanel.elapsed() >= 450, "the first refresh waits half a second");
    QVERIFY(m_h->waitIdle());

    // Each command only after the previous reply; no poll until the refresh has ended.
    const auto &transcript = m_h->sim->transcript();
    QList<QByteArray> received;
    bool awaitingReply = false;
    for (const auto &entry : transcript) {
        if (entry.direction == SimulatedDevice::TranscriptEntry::Received) {
            QVERIFY2(!awaitingReply, entry.bytes.constData());
            received.append(entry.bytes);
            awaitingReply = true;
        } else {
            awaitingReply = false;
        }
    }
    QCOMPARE(received.mid(0, 12), kRefreshOrder);
    const QString log = logText();
    for (const char *line : {"=============REFRESH MODE=============", "-------------REFRESH MODE-------------",
                             "writeCommand(ATCMODE[CR][LF]), mode=1", "parsingSequence() : ATCMODE0 m_seq : 8",
                             "writeCommand(ATCUSED[CR][LF]), mode=1", "END_SEQ"})
        QVERIFY2(log.contains(QLatin1String(line)), line);
    QCOMPARE(m_h->status().section(QLatin1String(" - ["), 0, 0), QStringLiteral("success! refresh calibration settings."));

    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 12.5);
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch2")->value(), -0.25);
    QCOMPARE(child<QSpinBox>("spinBox_modbus_addr")->value(), 17);
    QCOMPARE(child<QComboBox>("comboBox_modbus_baudrate")->currentIndex(), 0);
    QVERIFY(child<QCheckBox>("checkBox_modbus_byteswap")->isChecked());
    QCOMPARE(child<QComboBox>("comboBox_modbus_timeout")->currentIndex(), 2);
    QCOMPARE(child<QDateTimeEdit>("dateTimeEdit_exec_datetime")->dateTime(), calibrated);
    QCOMPARE(child<QSpinBox>("spinBox_usedtime")->text(), QStringLiteral("876543 hours"));
    for (const char *editor : {"doubleSpinBox_offset_ch1", "doubleSpinBox_offset_ch2", "spinBox_modbus_addr",
                               "comboBox_modbus_baudrate", "comboBox_modbus_timeout"})
        QVERIFY2(styleOf(child<QWidget>(editor)) == QLatin1String(Calibrator::kInSyncStyle), editor);
    QVERIFY(child<QRadioButton>("radioButton_mass")->isChecked());
    QCOMPARE(child<QLabel>("label_unit_ch1")->text(), QStringLiteral("ug/m3"));
    QCOMPARE(child<QGroupBox>("groupBox_ch2")->title(), QStringLiteral("pm10.0"));

    // Then the poll runs at the Rate period.
    m_h->sim->clearTranscript();
    QTest::qWait(1300);
    const QList<QByteArray> polls = m_h->sim->receivedCommands();
    QVERIFY2(polls.size() >= 2 && polls.size() <= 3, QByteArray::number(polls.size()).constData());
    QVERIFY(std::all_of(polls.begin(), polls.end(), [](const QByteArray &c) { return c == "ATCH\r\n"; }));
    QTRY_VERIFY(!child<QLCDNumber>("lcdNumber_preview_ch6")->property("value").isNull());

    // A combo moved away from the device's value turns pending; moved back, in step again.
    auto *timeout = child<QComboBox>("comboBox_modbus_timeout");
    timeout->setCurrentIndex(0);
    QCOMPARE(styleOf(timeout), QLatin1String(Calibrator::kPendingStyle));
    timeout->setCurrentIndex(2);
    QCOMPARE(styleOf(timeout), QLatin1String(Calibrator::kInSyncStyle));
}

void TestPmCalibratorE2e::liveLines_fillPreviewsPairAndChart()
{
    QVERIFY(openIdle());
    m_h->window->setPollTimerActive(false);
    m_h->sim->setResponding(false);
    panel()->findChild<QGroupBox *>(QStringLiteral("groupBox_ch3_4"))->setChecked(true);
    QCOMPARE(panel()->selectedChannel(), 1);
    QTest::qWait(700); // the pair's refresh starts, and finds the device silent
    m_h->sim->setResponding(true);
    child<QPushButton>("pushButton_refresh")->click();
    QVERIFY(m_h->waitIdle());
    m_h->window->setPollTimerActive(false);
    m_h->sim->setResponding(false);
    panel()->chart()->clearSamples();

    m_h->window->writeATCDCommand();
    m_h->sim->sendRaw("ATCH 5,6,7,----,9,10\r\n");
    QTRY_COMPARE(child<QLCDNumber>("lcdNumber_ch1")->property("value").toDouble(), 7.0);
    for (int ch = 1; ch <= 6; ++ch) {
        auto *lcd = child<QLCDNumber>(("lcdNumber_preview_ch" + QByteArray::number(ch)).constData());
        QCOMPARE(lcd->value(), ch == 4 ? 0.0 : double(ch + 4));
        QVERIFY(litPixels(lcd) > 0); // "----" is drawn, not blank
    }
    QCOMPARE(child<QLCDNumber>("lcdNumber_ch1")->value(), 7.0);
    QCOMPARE(child<QLCDNumber>("lcdNumber_ch2")->value(), 0.0);
    QVERIFY(litPixels(child<QLCDNumber>("lcdNumber_ch2")) > 0);
    const int last = ChartView::kSampleCount - 1;
    QCOMPARE(panel()->chart()->values1()[last], 7.0);
    QCOMPARE(panel()->chart()->values2()[last], Chart::NoValue);

    // Fewer than six fields: every display blank and a zero sample.
    QTest::qWait(5);
    m_h->window->writeATCDCommand();
    m_h->sim->sendRaw("ATCH 1,2,3\r\n");
    QTRY_COMPARE(panel()->chart()->values1()[last - 1], 7.0);
    QCOMPARE(litPixels(child<QLCDNumber>("lcdNumber_preview_ch1")), 0);
    QCOMPARE(litPixels(child<QLCDNumber>("lcdNumber_ch2")), 0);
    QCOMPARE(panel()->chart()->values1()[last], 0.0);
    QCOMPARE(panel()->chart()->values2()[last], 0.0);
}

void TestPmCalibratorE2e::applies_sendExactCommandsAndShowConfirmedValues_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("deviceWord");
    QTest::addColumn<QVariant>("deviceValue");

    QTest::newRow("largest offset ch1") << "doubleSpinBox_offset_ch1" << QVariant(1000000.0)
                                        << "toolButton_offset_apply_ch1" << QByteArray("ATCOFF1 1000000.00\r\n")
                                        << "ATCOFF1" << QVariant(1000000.0);
    QTest::newRow("negative offset ch2") << "doubleSpinBox_offset_ch2" << QVariant(-0.25)
                                         << "toolButton_offset_apply_ch2" << QByteArray("ATCOFF2 -0.25\r\n")
                                         << "ATCOFF2" << QVariant(-0.25);
    QTest::newRow("slave id") << "spinBox_modbus_addr" << QVariant(247) << "toolButton_modbus_addr_apply"
                              << QByteArray("ATCMODID 247\r\n") << "ATCMODID" << QVariant(247);
    QTest::newRow("baud rate") << "comboBox_modbus_baudrate" << QVariant(4) << "toolButton_modbus_baudrate_apply"
                               << QByteArray("ATCMODBR 4\r\n") << "ATCMODBR" << QVariant(4);
    QTest::newRow("time-out") << "comboBox_modbus_timeout" << QVariant(3) << "toolButton_modbus_timeout_apply"
                              << QByteArray("ATCMODTO 3\r\n") << "ATCMODTO" << QVariant(3);
    QTest::newRow("byte swap") << "checkBox_modbus_byteswap" << QVariant(true) << "toolButton_modbus_byteswap_apply"
                               << QByteArray("ATCMODSW 1\r\n") << "ATCMODSW" << QVariant(1);
}

void TestPmCalibratorE2e::applies_sendExactCommandsAndShowConfirmedValues()
{
    QFETCH(QString, editor);
    QFETCH(QVariant, value);
    QFETCH(QString, button);
    QFETCH(QByteArray, command);
    QFETCH(QString, deviceWord);
    QFETCH(QVariant, deviceValue);

    QVERIFY(openIdle());
    QWidget *widget = panel()->findChild<QWidget *>(editor);
    QVERIFY(widget);
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(widget))
        spin->setValue(value.toDouble());
    else if (auto *spin = qobject_cast<QSpinBox *>(widget))
        spin->setValue(value.toInt());
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setCurrentIndex(value.toInt());
    else if (auto *check = qobject_cast<QCheckBox *>(widget))
        check->setChecked(value.toBool());
    if (!qobject_cast<QCheckBox *>(widget))
        QCOMPARE(styleOf(widget), QLatin1String(Calibrator::kPendingStyle));

    m_h->sim->clearTranscript();
    auto *apply = panel()->findChild<QToolButton *>(button);
    apply->pressed();
    apply->clicked();
    QVERIFY(!m_h->window->pollTimer()->isActive());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{command});
    QCOMPARE(m_h->sim->setting(deviceWord).toDouble(), deviceValue.toDouble());
    QCOMPARE(m_h->status().section(QLatin1String(" - ["), 0, 0), QStringLiteral("success! apply calibration settings."));
    if (!qobject_cast<QCheckBox *>(widget))
        QCOMPARE(styleOf(widget), QLatin1String(Calibrator::kInSyncStyle));
    QVERIFY(m_h->boxes.isEmpty());
}

void TestPmCalibratorE2e::outputMode_appliedClearsChart_refusedValueEndsInError()
{
    QVERIFY(openIdle());
    QTRY_VERIFY(panel()->chart()->timeStamps()[ChartView::kSampleCount - 1] != Chart::NoValue);
    m_h->window->setPollTimerActive(false);
    m_h->sim->clearTranscript();
    child<QRadioButton>("radioButton_number")->click();
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands(), QList<QByteArray>{"ATCMODE 1\r\n"});
    QCOMPARE(panel()->outputType(), 1);
    QCOMPARE(child<QLabel>("label_unit_ch2")->text(), QStringLiteral("#/cm3"));
    QCOMPARE(m_h->sim->setting("ATCMODE").toInt(), 1);
    // The chart starts afresh in the new unit (at most the one poll since the end).
    QVERIFY(panel()->chart()->timeStamps()[ChartView::kSampleCount - 3] == Chart::NoValue);

    // A mode the panel does not know: ERROR SEQ and the buttons keep the mode in force.
    m_h->sim->setSetting("ATCMODE", 2);
    child<QPushButton>("pushButton_refresh")->click();
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! refresh calibration settings..."});
    QVERIFY(m_h->waitIdle());
    QVERIFY(child<QRadioButton>("radioButton_number")->isChecked());
    QCOMPARE(m_h->status().section(QLatin1String(" - ["), 0, 0), QStringLiteral("error! refresh calibration settings."));
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
    QTest::qWait(100);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(child<QGroupBox>("groupBox_ch2")->title(), QStringLiteral("partical size"));
    QCOMPARE(child<QLabel>("label_unit_ch1")->text(), QStringLiteral("#/cm3"));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 5.5);
    QVERIFY(!child<QGroupBox>("groupBox_offset_ch2")->isVisibleTo(panel()));
    m_h->sim->clearTranscript();
    child<QToolButton>("toolButton_offset_apply_ch2")->pressed();
    QTest::qWait(700);
    QVERIFY(m_h->commands().isEmpty());
    QVERIFY(m_h->window->pollTimer()->isActive());

    // Unchecking the selected pair selects nothing else and reads nothing.
    child<QGroupBox>("groupBox_ch5_6")->setChecked(false);
    QTest::qWait(700);
    QCOMPARE(panel()->selectedChannel(), 2);
    QVERIFY(m_h->commands().isEmpty());
}

void TestPmCalibratorE2e::factoryReset_acceptedHandsOverToRefresh_refusedEndsAsFailed()
{
    QVERIFY(openIdle());
    m_h->sim->setSetting("ATCOFF1", 42.0);
    m_h->answer = [](const MessageBoxes::Request &box) {
        return box.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    };
    QStringList statusDuringInfo;
    m_h->duringBox = [&](const MessageBoxes::Request &) { statusDuringInfo.append(m_h->status()); };
    m_h->sim->clearTranscript();
    child<QPushButton>("pushButton_factoryreset")->click();
    QTRY_VERIFY(m_h->commands().size() > 1);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->commands().first(), QByteArray("ATCFTRST\r\n"));
    QCOMPARE(m_h->commands().mid(1), kRefreshOrder);
    QCOMPARE(m_h->boxTexts(), (QStringList{"Factory Reset|Your work will be erased. Would you like to continue?",
                                           "Factory Reset|the Factory Reset is completed."}));
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 0.0); // the defaults were read back
    QVERIFY(!statusDuringInfo.join(QLatin1Char('\n')).contains(QLatin1String("success! apply")));

    // Refused: the panel says so once, and the apply ends as failed.
    m_h->boxes.clear();
    m_h->sim->setRefuseActions(true);
    m_h->sim->clearTranscript();
    child<QPushButton>("pushButton_factoryreset")->click();
    QVERIFY(m_h->waitIdle());
    QTRY_COMPARE(m_h->commands(), QList<QByteArray>{"ATCFTRST\r\n"});
    QCOMPARE(m_h->boxTexts(), (QStringList{"Factory Reset|Your work will be erased. Would you like to continue?",
                                           "Factory Reset|the Factory Reset is failed!"}));
    QCOMPARE(m_h->status().section(QLatin1String(" - ["), 0, 0), QStringLiteral("error! apply calibration settings."));

    // No: nothing is written.
    m_h->answer = [](const MessageBoxes::Request &) { return QMessageBox::No; };
    m_h->sim->clearTranscript();
    child<QPushButton>("pushButton_factoryreset")->click();
    QTest::qWait(700);
    QVERIFY(m_h->commands().isEmpty());
}

void TestPmCalibratorE2e::calibrationTime_passwordRightWritesNow_wrongShowsError()
{
    QVERIFY(openIdle());
    m_h->answer = [](const MessageBoxes::Request &box) {
        return box.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    };
    const auto enterPassword = [this](const QString &password) {
        child<QToolButton>("toolButton_exec_datetime")->click();
        PasswordDlg *dialog = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *candidate = qobject_cast<PasswordDlg *>(top); candidate && candidate->isVisible())
                dialog = candidate;
        }
        if (!dialog)
            return false;
        dialog->findChild<QLineEdit *>()->setText(password);
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
        return true;
    };

    m_h->sim->clearTranscript();
    QVERIFY(enterPassword(QStringLiteral("wrong")));
    QTRY_COMPARE(m_h->boxTexts().last(), QStringLiteral("Error|error!"));
    QTest::qWait(700);
    QVERIFY(m_h->commands().isEmpty());

    m_h->sim->clearTranscript();
    const uint before = QDateTime::currentDateTime().toTime_t();
    QVERIFY(enterPassword(QStringLiteral("quirbentol57")));
    QTRY_VERIFY(m_h->commands().size() > 1);
    QVERIFY(m_h->waitIdle());
    const QByteArray written = m_h->commands().first();
    QVERIFY2(written.startsWith("ATCEXTM ") && written.endsWith("\r\n"), written.constData());
    const uint stamp = written.mid(8).trimmed().toUInt();
    QVERIFY(stamp >= before && stamp <= QDateTime::currentDateTime().toTime_t());
    QCOMPARE(m_h->commands().mid(1), kRefreshOrder);
    QCOMPARE(child<QDateTimeEdit>("dateTimeEdit_exec_datetime")->dateTime().toTime_t(), stamp);
}

void TestPmCalibratorE2e::unexpectedReplies_endInErrorSeqWithBox()
{
    QVERIFY(openIdle());
    m_h->window->setPollTimerActive(false);
    m_h->sim->setResponding(false);
    m_h->sim->clearTranscript();

    // An apply of ATCOFF1 answered for ATCOFF2: the keyword passes, the word does not.
    child<QToolButton>("toolButton_offset_apply_ch1")->pressed();
    QTRY_COMPARE(m_h->commands(), QList<QByteArray>{"ATCOFF1 0.00\r\n"});
    m_h->sim->sendRaw("OK\r\nERROR\r\n"); // not replies: ignored, the apply waits
    QTest::qWait(100);
    QCOMPARE(panel()->mode(), int(Calibrator::APPLY));
    m_h->sim->sendRaw("ATCOFF2 1.00\r\n");
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! apply calibration settings..."});
    QCOMPARE(panel()->mode(), int(Calibrator::DEFAULT));
    QVERIFY(m_h->window->pollTimer()->isActive());

    // A refresh reply without a value reads as zero and the refresh goes on.
    m_h->boxes.clear();
    m_h->sim->clearTranscript();
    child<QPushButton>("pushButton_refresh")->click();
    QTRY_COMPARE(m_h->commands().size(), 1);
    m_h->sim->sendRaw("ATCMODE 0\r\n");
    QTRY_COMPARE(m_h->commands().size(), 2);
    child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->setValue(9);
    m_h->sim->sendRaw("ATCOFF1\r\n");
    QTRY_COMPARE(m_h->commands().size(), 3);
    QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->value(), 0.0);
    m_h->sim->sendRaw("ATCUSED 5\r\n"); // not the awaited word
    QTRY_COMPARE(m_h->boxTexts(), QStringList{"ERROR|error! refresh calibration settings..."});
    QCOMPARE(panel()->seq(), 0);
}

void TestPmCalibratorE2e::stalledReply_refreshStaysUsableAndRecovers()
{
    QVERIFY(openIdle());
    m_h->sim->setSilentWords({"ATCMODID"});
    child<QPushButton>("pushButton_refresh")->click();
    QTRY_COMPARE(panel()->seq(), int(Cmd::ATCMODID));
    QTest::qWait(300);
    QCOMPARE(panel()->seq(), int(Cmd::ATCMODID));
    QVERIFY(!m_h->window->pollTimer()->isActive());
    QVERIFY(!child<QGroupBox>("groupBox_ch1")->isEnabled());
    QVERIFY(child<QPushButton>("pushButton_refresh")->isEnabled());

    m_h->sim->setSilentWords({});
    child<QPushButton>("pushButton_refresh")->click();
    QVERIFY(m_h->waitIdle());
    QVERIFY(child<QGroupBox>("groupBox_ch1")->isEnabled());
    QVERIFY(m_h->boxes.isEmpty());
}

void TestPmCalibratorE2e::unplugged_midSequenceAndDuringBox_toolStaysAlive()
{
    QVERIFY(openIdle());
    QPointer<PmCalibrator> first = panel();

    // Mid-refresh: the scan loses the device.
    m_h->sim->setReplyDelayMs(150);
    child<QPushButton>("pushButton_refresh")->click();
    QTRY_VERIFY(m_h->commands().size() > 2);
    m_h->devices.clear();
    m_h->window->checkConnection();
    QVERIFY(!m_h->window->isDeviceOpen());
    QVERIFY(m_h->window->deviceList()->isVisibleTo(m_h->window));
    QTRY_VERIFY(!first);
    QTest::qWait(700);

    // While a question is open; the answer Yes must not write to the closed device.
    m_h->sim->setReplyDelayMs(-1);
    m_h->devices = {{m_h->sim->portName(), m_h->serial}};
    QVERIFY(openIdle());
    QPointer<PmCalibrator> second = panel();
    m_h->answer = [this](const MessageBoxes::Request &) {
        m_h->devices.clear();
        m_h->window->checkConnection();
        return QMessageBox::Yes;
    };
    child<QPushButton>("pushButton_factoryreset")->click();
    QVERIFY(!m_h->window->isDeviceOpen());
    QTRY_VERIFY(!second);
    QTest::qWait(700);
    QVERIFY(m_h->window->deviceList()->isVisibleTo(m_h->window));

    // With the password dialog open: closing the panel releases the dialog too.
    m_h->answer = [](const MessageBoxes::Request &) { return QMessageBox::Yes; };
    m_h->devices = {{m_h->sim->portName(), m_h->serial}};
    QVERIFY(openIdle());
    child<QToolButton>("toolButton_exec_datetime")->click();
    QPointer<PasswordDlg> dialog;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *candidate = qobject_cast<PasswordDlg *>(top); candidate && candidate->isVisible())
            dialog = candidate;
    }
    QVERIFY(dialog);
    m_h->devices.clear();
    m_h->window->checkConnection();
    QTRY_VERIFY(!dialog);
}

QTEST_MAIN(TestPmCalibratorE2e)
#include "tst_pmcalibrator_e2e.moc"
