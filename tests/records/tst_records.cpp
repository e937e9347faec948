#include "calib/calibrationrecord.h"
#include "calib/recordschema.h"
#include "panels/calibwizard.h"
#include "panels/tq24calibrator.h"
#include "tests/panels/panelharness.h"

#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <signal.h>
#include <unistd.h>

namespace {

// One statement in a connection of its own, as another program reads the file; the rows as maps.
QList<QVariantMap> query(const QString &file, const QString &statement, bool *ok = nullptr)
{
    QList<QVariantMap> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        db.setDatabaseName(file);
        QSqlQuery q(db);
        const bool done = db.open() && q.exec(statement);
        if (ok)
            *ok = done;
        while (q.next()) {
            QVariantMap row;
            for (int i = 0; i < q.record().count(); ++i)
                row.insert(q.record().fieldName(i), q.value(i));
            rows.append(row);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    return rows;
}

int count(const QString &file, const QString &where = QStringLiteral("1"))
{
    return query(file, QStringLiteral("SELECT count(*) AS n FROM events WHERE ") + where).value(0).value("n").toInt();
}

} // namespace

// The calibration record: the file as other processes see it, and what the panels leave in it
// through the main window, a real serial port and the simulator, with the data folder in a
// temporary directory.
class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void killedWriter_keepsEveryCommittedEvent();
    void twoWritersAtOnce_loseNothing();
    void appendOnly_andANewerLayoutLeftAlone();
    void offsetWrite_readThenWriteEvent_data();
    void offsetWrite_readThenWriteEvent();
    void actions_outcomeAndTheReadAfter_data();
    void actions_outcomeAndTheReadAfter();
    void unwritableFolder_toldOnceAndCarriesOn();

private:
    QString file() const { return m_h->window->calibrationRecord()->filePath(); }
    // Every event, oldest first, as "kind|setting|command|before|written|confirmed|outcome" with "-" for NULL.
    QStringList events() const
    {
        QStringList lines;
        for (const QVariantMap &row : query(file(), QStringLiteral(
                 "SELECT kind || '|' || ifnull(setting, '-') || '|' || ifnull(command, '-') || '|' ||"
                 " ifnull(value_before, '-') || '|' || ifnull(value_written, '-') || '|' ||"
                 " ifnull(value_confirmed, '-') || '|' || ifnull(outcome, '-') AS line FROM events ORDER BY id")))
            lines.append(row.value("line").toString());
        return lines;
    }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<PanelHarness> m_h;
};

void TestRecords::init()
{
    m_data.reset(new QTemporaryDir);
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
}

void TestRecords::cleanup()
{
    m_h.reset();
    Calibrator::setReplyTimeoutMs(0);
    QLocale::setDefault(QLocale::c());
}

void TestRecords::killedWriter_keepsEveryCommittedEvent()
{
    QProcess writer;
    writer.start(QStringLiteral(RECORD_WRITER), {m_data->path(), QStringLiteral("SIM-KILL"), QStringLiteral("1000000")});
    QByteArray out;
    while (out.count('\n') < 40 && writer.waitForReadyRead(10000))
        out += writer.readAllStandardOutput();
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished());
    out += writer.readAllStandardOutput();
    const int committed = out.left(out.lastIndexOf('\n')).split('\n').last().toInt();
    QVERIFY(committed >= 40);

    const QString file = m_data->filePath(QStringLiteral("calibration-records.sqlite"));
    QCOMPARE(query(file, QStringLiteral("PRAGMA integrity_check")).value(0).first().toString(), QStringLiteral("ok"));
    // The event being added at the kill may be there too; none before it is missing.
    const int rows = count(file);
    QVERIFY2(rows == committed || rows == committed + 1, qPrintable(QString::number(rows)));
    QCOMPARE(count(file, QStringLiteral("CAST(value_written AS INTEGER) BETWEEN 1 AND %1").arg(rows)), rows);
}

void TestRecords::twoWritersAtOnce_loseNothing()
{
    QProcess writers[2];
    for (int i = 0; i < 2; ++i)
        writers[i].start(QStringLiteral(RECORD_WRITER), {m_data->path(), QString::number(i), QStringLiteral("300")});
    for (QProcess &writer : writers) {
        QVERIFY(writer.waitForFinished(60000));
        QVERIFY2(writer.exitCode() == 0, writer.readAllStandardError().constData());
    }
    const QString file = m_data->filePath(QStringLiteral("calibration-records.sqlite"));
    QCOMPARE(count(file, QStringLiteral("serial = '0'")), 300);
    QCOMPARE(count(file, QStringLiteral("serial = '1'")), 300);
}

void TestRecords::appendOnly_andANewerLayoutLeftAlone()
{
    CalibrationEvent event;
    event.kind = QStringLiteral("read");
    const QString file = m_data->filePath(QStringLiteral("calibration-records.sqlite"));
    QVERIFY(CalibrationRecord(m_data->path()).append(event));
    bool ok = true;
    for (const char *edit : {"UPDATE events SET serial = 'forged'", "DELETE FROM events"}) {
        query(file, QLatin1String(edit), &ok);
        QVERIFY2(!ok, edit);
    }
    QCOMPARE(count(file, QStringLiteral("serial = ''")), 1);

    query(file, QStringLiteral("PRAGMA user_version = %1").arg(RecordSchema::kVersion + 1));
    CalibrationRecord older(m_data->path());
    QVERIFY(!older.append(event));
    QVERIFY(older.errorString().contains(QLatin1String("newer")));
    QCOMPARE(count(file), 1);
}

void TestRecords::offsetWrite_readThenWriteEvent_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("event");

    const QString write = QStringLiteral("write|Gas / ppm offset|ATCOFF1|1.25|");
    QTest::newRow("confirmed") << "" << 12.5 << write + "12.50|12.50|confirmed";
    QTest::newRow("confirmed, German locale") << "german" << -3.25 << write + "-3.25|-3.25|confirmed";
    // The device keeps its old value for one beyond its range, and answers that.
    QTest::newRow("rejected by the device's value") << "" << 1500000.0 << write + "1500000.00|1.25|rejected";
    QTest::newRow("refused by the port") << "port closed" << 12.5 << write + "12.50|-|failed write";
    QTest::newRow("unanswered") << "silent" << 12.5 << write + "12.50|-|no reply";
    QTest::newRow("cut by an unplug") << "unplug" << 12.5 << write + "12.50|-|port lost";
}

void TestRecords::offsetWrite_readThenWriteEvent()
{
    QFETCH(QString, fault);
    QFETCH(double, value);
    QFETCH(QString, event);

    if (fault == QLatin1String("german"))
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    m_h.reset(new PanelHarness(SimulatedDevice::Model::Tq24, QStringLiteral("SIM-REC-1")));
    m_h->sim->setSetting("ATCOFF1", 1.25);
    QVERIFY(m_h->openIdle());
    // The refresh at connection: one read event with every value as the device sent it.
    const QVariantMap read = query(file(), QStringLiteral("SELECT * FROM events")).value(0);
    QCOMPARE(events(), QStringList{"read|-|-|-|-|-|-"});
    QCOMPARE(read.value("serial").toString() + ' ' + read.value("firmware").toString(),
             QStringLiteral("SIM-REC-1 TQ24-1v5"));
    const QJsonObject values = QJsonDocument::fromJson(read.value("details").toByteArray()).object();
    QCOMPARE(values.keys(), (QStringList{"ATCCSP", "ATCEXTM", "ATCMODE", "ATCOFF1", "ATCOFF2", "ATCUSED"}));
    QCOMPARE(values.value("ATCOFF1").toString(), QStringLiteral("1.25"));

    auto *editor = m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1");
    editor->setMaximum(2000000.0);
    editor->setValue(value);
    if (fault == QLatin1String("silent") || fault == QLatin1String("unplug"))
        m_h->sim->setSilentWords({"ATCOFF1"});
    Calibrator::setReplyTimeoutMs(fault == QLatin1String("silent") ? 300 : 0);
    m_h->sim->clearTranscript();
    m_h->child("toolButton_offset_apply_ch1")->click();
    if (fault == QLatin1String("port closed"))
        m_h->window->findChild<QSerialPort *>()->close();
    if (fault == QLatin1String("unplug")) {
        QTRY_COMPARE(m_h->commands().size(), 1);
        m_h->unplug();
    }
    QTRY_COMPARE(events().size(), 2);
    QCOMPARE(events().last(), event);
}

void TestRecords::actions_outcomeAndTheReadAfter_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button"); // empty: the wizard's Finish
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<QStringList>("after"); // the events after the refresh at connection

    const int pm = int(SimulatedDevice::Model::Pm);
    const int tq24 = int(SimulatedDevice::Model::Tq24);
    // The device's state after an action is the refresh that follows it, which names the action.
    QTest::newRow("factory reset") << pm << "pushButton_factoryreset" << false
                                   << QStringList{"action|Factory reset|ATCFTRST|-|-|OK|confirmed",
                                                  "read|Factory reset|ATCFTRST|-|-|-|-"};
    QTest::newRow("factory reset refused") << pm << "pushButton_factoryreset" << true
                                           << QStringList{"action|Factory reset|ATCFTRST|-|-||rejected"};
    QTest::newRow("TQ24 drift adjustment") << tq24 << "pushButton_driftadj" << false
                                           << QStringList{"action|Zero drift adjustment|ATCDRFT|-|-|OK|confirmed",
                                                          "read|Zero drift adjustment|ATCDRFT|-|-|-|-"};
    QTest::newRow("TQ24 wizard") << tq24 << "" << false
                                 << QStringList{"action|Calibration parameters|ATCCAL|-|1000,100,2100|"
                                                "1000.00,100.00,2100.00|confirmed"};
}

void TestRecords::actions_outcomeAndTheReadAfter()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QFETCH(bool, refuse);
    QFETCH(QStringList, after);

    m_h.reset(new PanelHarness(SimulatedDevice::Model(model)));
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
    QTRY_COMPARE(events().size(), 1 + after.size());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(events().mid(1).join(QLatin1Char('\n')), after.join(QLatin1Char('\n')));
}

void TestRecords::unwritableFolder_toldOnceAndCarriesOn()
{
    m_h.reset(new PanelHarness(SimulatedDevice::Model::Tq24));
    const QString folder = QFileInfo(file()).absolutePath();
    // Root writes into a read-only folder, so for root a file takes the folder's place.
    QVERIFY(geteuid() == 0 ? QFile(folder).open(QIODevice::WriteOnly)
                           : QDir().mkpath(folder) && QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(m_h->openIdle());
    QVERIFY2(m_h->shortStatus().startsWith(QLatin1String(
                 "success! refresh calibration settings. The calibration record cannot be written: ")),
             qPrintable(m_h->status()));
    m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1")->setValue(2.5);
    m_h->child("toolButton_offset_apply_ch1")->click();
    QTRY_COMPARE(m_h->sim->setting("ATCOFF1").toDouble(), 2.5);
    QVERIFY(m_h->waitIdle());
    QCOMPARE(m_h->shortStatus(), QStringLiteral("success! apply calibration settings."));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
