#include "calib/calibrationrecord.h"
#include "panels/calibwizard.h"
#include "panels/tq24calibrator.h"
#include "recordreader.h"
#include "tests/panels/panelharness.h"

#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTemporaryDir>

#include <unistd.h>

// What the panels leave in the calibration record, through the main window, a real serial port and
// the simulator, with the user's data folder in a temporary directory.
class TestRecordsE2e : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void refresh_oneReadEventWithTheDevicesValues();
    void offsetWrite_outcome_data();
    void offsetWrite_outcome();
    void actions_outcomeAndTheReadAfter_data();
    void actions_outcomeAndTheReadAfter();
    void unwritableFolder_toldOnceAndCarriesOn();

private:
    void start(SimulatedDevice::Model model)
    {
        m_h.reset(new PanelHarness(model, QStringLiteral("SIM-REC-1")));
    }
    QList<QVariantMap> events(const char *kind) const
    {
        return RecordReader(m_h->window->calibrationRecord()->filePath()).events(QLatin1String(kind));
    }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<PanelHarness> m_h;
};

void TestRecordsE2e::init()
{
    m_data.reset(new QTemporaryDir);
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
}

void TestRecordsE2e::cleanup()
{
    m_h.reset();
    Calibrator::setReplyTimeoutMs(0);
    QLocale::setDefault(QLocale::c());
}

void TestRecordsE2e::refresh_oneReadEventWithTheDevicesValues()
{
    start(SimulatedDevice::Model::Tq24);
    m_h->sim->setSetting("ATCOFF1", 1.25);
    QVERIFY(m_h->openIdle());
    const QList<QVariantMap> reads = events("read");
    QCOMPARE(reads.size(), 1);
    const QVariantMap &read = reads.first();
    QCOMPARE(read.value("model").toString(), QStringLiteral("TQ24"));
    QCOMPARE(read.value("serial").toString(), QStringLiteral("SIM-REC-1"));
    QCOMPARE(read.value("firmware").toString(), QStringLiteral("TQ24-1v5"));
    QVERIFY(read.value("setting").isNull()); // read at connection, after no action
    const QJsonObject values = QJsonDocument::fromJson(read.value("details").toByteArray()).object();
    QCOMPARE(values.keys(), (QStringList{"ATCCSP", "ATCEXTM", "ATCMODE", "ATCOFF1", "ATCOFF2", "ATCUSED"}));
    QCOMPARE(values.value("ATCOFF1").toString(), QStringLiteral("1.25"));
    QCOMPARE(values.value("ATCMODE").toString(), m_h->sim->setting("ATCMODE").toString());
    QVERIFY(events("write").isEmpty());
}

void TestRecordsE2e::offsetWrite_outcome_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("confirmed"); // empty: NULL

    QTest::newRow("confirmed") << "" << 12.5 << "12.50" << "confirmed" << "12.50";
    QTest::newRow("confirmed, German locale") << "german" << -3.25 << "-3.25" << "confirmed" << "-3.25";
    // The device keeps its old value for one beyond its range, and says so.
    QTest::newRow("rejected by the device's value") << "beyond" << 1500000.0 << "1500000.00" << "rejected"
                                                    << "0.00";
    QTest::newRow("refused by the port") << "port closed" << 12.5 << "12.50" << "failed write" << "";
    QTest::newRow("unanswered") << "silent" << 12.5 << "12.50" << "no reply" << "";
    QTest::newRow("cut by an unplug") << "unplug" << 12.5 << "12.50" << "port lost" << "";
}

void TestRecordsE2e::offsetWrite_outcome()
{
    QFETCH(QString, fault);
    QFETCH(double, value);
    QFETCH(QString, written);
    QFETCH(QString, outcome);
    QFETCH(QString, confirmed);

    if (fault == QLatin1String("german"))
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    start(SimulatedDevice::Model::Tq24);
    QVERIFY(m_h->openIdle());
    auto *editor = m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1");
    editor->setMaximum(2000000.0);
    editor->setValue(value);
    if (fault == QLatin1String("silent") || fault == QLatin1String("unplug")) {
        Calibrator::setReplyTimeoutMs(300);
        m_h->sim->setSilentWords({"ATCOFF1"});
    }
    m_h->sim->clearTranscript();
    m_h->child("toolButton_offset_apply_ch1")->click();
    if (fault == QLatin1String("port closed"))
        m_h->window->findChild<QSerialPort *>()->close();
    if (fault == QLatin1String("unplug")) {
        Calibrator::setReplyTimeoutMs(0);
        QTRY_VERIFY(m_h->commands().contains("ATCOFF1 " + written.toLatin1() + "\r\n"));
        m_h->unplug();
    }
    QTRY_COMPARE(events("write").size(), 1);
    const QVariantMap write = events("write").first();
    QCOMPARE(write.value("setting").toString(), QStringLiteral("Gas / ppm offset"));
    QCOMPARE(write.value("command").toString(), QStringLiteral("ATCOFF1"));
    QCOMPARE(write.value("value_before").toString(), QStringLiteral("0.00"));
    QCOMPARE(write.value("value_written").toString(), written);
    QCOMPARE(write.value("outcome").toString(), outcome);
    QCOMPARE(write.value("value_confirmed").toString(), confirmed);
    QCOMPARE(write.value("value_confirmed").isNull(), confirmed.isEmpty());
}

void TestRecordsE2e::actions_outcomeAndTheReadAfter_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button"); // empty: the wizard's Finish
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("confirmed");
    QTest::addColumn<bool>("refreshAfter");

    const int pm = int(SimulatedDevice::Model::Pm);
    const int tq24 = int(SimulatedDevice::Model::Tq24);
    QTest::newRow("factory reset") << pm << "pushButton_factoryreset" << false << "Factory reset" << "ATCFTRST"
                                   << "confirmed" << "OK" << true;
    QTest::newRow("factory reset refused") << pm << "pushButton_factoryreset" << true << "Factory reset"
                                           << "ATCFTRST" << "rejected" << "" << false;
    QTest::newRow("TQ24 drift adjustment") << tq24 << "pushButton_driftadj" << false << "Zero drift adjustment"
                                           << "ATCDRFT" << "confirmed" << "OK" << true;
    QTest::newRow("TQ24 wizard") << tq24 << "" << false << "Calibration parameters" << "ATCCAL" << "confirmed"
                                 << "1000.00,100.00,2100.00" << false;
}

void TestRecordsE2e::actions_outcomeAndTheReadAfter()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QFETCH(bool, refuse);
    QFETCH(QString, setting);
    QFETCH(QString, command);
    QFETCH(QString, outcome);
    QFETCH(QString, confirmed);
    QFETCH(bool, refreshAfter);

    start(SimulatedDevice::Model(model));
    QVERIFY(m_h->openIdle());
    m_h->answer = sayYes;
    m_h->sim->setRefuseActions(refuse);
    if (button.isEmpty()) {
        m_h->child("pushButton_mannual")->click();
        QPointer<CalibWizard> wizard = m_h->panel<Tq24Calibrator>()->wizard();
        QVERIFY(wizard);
        wizard->button(QWizard::FinishButton)->click();
        QTRY_VERIFY(!wizard);
    } else {
        m_h->child(qPrintable(button))->click();
    }
    QTRY_COMPARE(events("action").size(), 1);
    QVERIFY(m_h->waitIdle());
    const QVariantMap action = events("action").first();
    QCOMPARE(action.value("setting").toString(), setting);
    QCOMPARE(action.value("command").toString(), command);
    QCOMPARE(action.value("outcome").toString(), outcome);
    QCOMPARE(action.value("value_confirmed").toString(), confirmed);
    // The device's state after the action is the refresh that follows it, which names it.
    const QList<QVariantMap> reads = events("read");
    QCOMPARE(reads.size(), refreshAfter ? 2 : 1);
    QCOMPARE(reads.last().value("command").toString(), refreshAfter ? command : QString());
    QVERIFY(reads.last().value("id").toInt() > action.value("id").toInt() || !refreshAfter);
    QVERIFY(events("write").isEmpty());
}

void TestRecordsE2e::unwritableFolder_toldOnceAndCarriesOn()
{
    start(SimulatedDevice::Model::Tq24);
    const QString folder = QFileInfo(m_h->window->calibrationRecord()->filePath()).absolutePath();
    // Root writes into a read-only folder, so for root the folder's place is taken by a file.
    if (geteuid() == 0) {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    QVERIFY(m_h->openIdle());
    QVERIFY2(m_h->shortStatus().startsWith(QLatin1String("success! refresh calibration settings. "
                                                          "The calibration record cannot be written: ")),
             qPrintable(m_h->status()));

    m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->setValue(2.5);
    m_h->child("toolButton_offset_apply_ch1")->click();
    QTRY_COMPARE(m_h->sim->setting("ATCOFF1").toDouble(), 2.5);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->shortStatus(), QStringLiteral("success! apply calibration settings."));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_MAIN(TestRecordsE2e)
#include "tst_records_e2e.moc"
