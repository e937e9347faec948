#include "app/records/liverecorder.h"
#include "app/records/recordswindow.h"
#include "records/calibrationrecord.h"
#include "records/recordschema.h"
#include "panels/calibwizard.h"
#include "panels/tq24calibrator.h"
#include "panels/panelharness.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include <signal.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SimulatedDevice::Model)

namespace {

const char *const kSerial = "SIM-TQ24-0001";

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

// The rows of a CSV file, quotes undone; the byte order mark must lead it.
QList<QStringList> parseCsv(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(3) != "\xEF\xBB\xBF")
        return {};
    static const QRegularExpression cell(QStringLiteral("(?:^|,)(\"(?:[^\"]|\"\")*\"|[^,]*)"));
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        rows.append(QStringList());
        for (auto match = cell.globalMatch(line); match.hasNext();) {
            const QString text = match.next().captured(1);
            rows.last().append(text.startsWith('"') ? text.mid(1, text.size() - 2).replace("\"\"", "\"") : text);
        }
    }
    return rows;
}

// Run as "tst_records --write FOLDER SERIAL COUNT", this program is the writer the tests kill or run two of:
// it appends COUNT events and prints the number of each once committed. A short pause after each, as a
// technician's events come one at a time: two writers in tight loops could keep the lock from each other
// longer than the tool waits for it.
int writeEvents(const QString &folder, const QString &serial, int count)
{
    CalibrationRecord record(folder);
    for (int i = 1; i <= count; ++i) {
        if (!record.append({QStringLiteral("write"), QString(), serial, QString(), QString(), QString(), QString(),
                            QString::number(i)})) {
            std::fprintf(stderr, "%s\n", qPrintable(record.errorString()));
            return 1;
        }
        std::printf("%d\n", i);
        std::fflush(stdout);
        QThread::msleep(2);
    }
    return 0;
}

} // namespace

// The calibration record: the file as other processes see it, what the panels leave in it through
// the main window, a real serial port and the simulator, and the records window, its CSV and report
// and the live recording that read it back; the data folder is a temporary directory.
class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_data.reset(new QTemporaryDir);
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
    }

    void cleanup()
    {
        m_h.reset();
        QLocale::setDefault(QLocale::c());
    }

    // One writer is killed while both write: neither loses a committed event and the file stays sound.
    // Nothing may change or delete an event, and a tool older than the file's layout leaves it alone.
    void writers_killedOrTwoAtOnce_loseNothing_fileAppendOnly()
    {
        QProcess steady, killed;
        const QString self = QCoreApplication::applicationFilePath();
        killed.start(self, {"--write", m_data->path(), "killed", "1000000"});
        steady.start(self, {"--write", m_data->path(), "steady", "300"});
        QVERIFY(steady.waitForFinished(60000));
        QVERIFY2(steady.exitCode() == 0, steady.readAllStandardError().constData());
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished());
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit); // still writing when killed
        const QByteArray out = killed.readAllStandardOutput();
        const int committed = out.left(out.lastIndexOf('\n')).split('\n').last().toInt();
        QVERIFY(committed >= 40);

        const QString file = m_data->filePath(QStringLiteral("calibration-records.sqlite"));
        QCOMPARE(query(file, "PRAGMA integrity_check").value(0).first().toString(), QStringLiteral("ok"));
        bool ok = true;
        for (const char *edit : {"UPDATE events SET serial = 'forged'", "DELETE FROM events"}) {
            query(file, QLatin1String(edit), &ok);
            QVERIFY2(!ok, edit);
        }
        query(file, QStringLiteral("PRAGMA user_version = %1").arg(RecordSchema::kVersion + 1));
        CalibrationRecord older(m_data->path());
        QVERIFY(!older.append({QStringLiteral("read")}));
        QVERIFY(older.errorString().contains(QLatin1String("newer")));

        QCOMPARE(count(file, QStringLiteral("serial = 'steady'")), 300);
        // The event being added at the kill may be there too; none before it is missing.
        const int rows = count(file, QStringLiteral("serial = 'killed'"));
        QVERIFY2(rows == committed || rows == committed + 1, qPrintable(QString::number(rows)));
        QCOMPARE(count(file, QStringLiteral("serial = 'killed' AND CAST(value_written AS INTEGER) BETWEEN 1 AND %1")
                                 .arg(rows)),
                 rows);
        QCOMPARE(count(file), 300 + rows);
    }

    void panel_eventPerOutcome_readAfterActions_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("action"); // a number: the offset written; a button clicked; none: the wizard
        QTest::addColumn<QStringList>("after"); // the events after the refresh at connection

        const int pm = int(SimulatedDevice::Model::Pm);
        const int tq24 = int(SimulatedDevice::Model::Tq24);
        const QString write = QStringLiteral("write|Gas / ppm offset|ATCOFF1|1.25|");
        QTest::newRow("confirmed") << tq24 << "" << "12.5" << QStringList{write + "12.50|12.50|confirmed"};
        QTest::newRow("confirmed, German locale") << tq24 << "german" << "-3.25"
                                                  << QStringList{write + "-3.25|-3.25|confirmed"};
        // The device keeps its old value for one beyond its range, and answers that.
        QTest::newRow("rejected by the device's value") << tq24 << "" << "1500000"
                                                        << QStringList{write + "1500000.00|1.25|rejected"};
        QTest::newRow("refused by the port") << tq24 << "port closed" << "12.5"
                                             << QStringList{write + "12.50|-|failed write"};
        QTest::newRow("unanswered") << tq24 << "silent" << "12.5" << QStringList{write + "12.50|-|no reply"};
        QTest::newRow("cut by an unplug") << tq24 << "unplug" << "12.5" << QStringList{write + "12.50|-|port lost"};
        // The device's state after an action is the refresh that follows it, which names the action.
        QTest::newRow("factory reset") << pm << "" << "pushButton_factoryreset"
                                       << QStringList{"action|Factory reset|ATCFTRST|-|-|OK|confirmed",
                                                      "read|Factory reset|ATCFTRST|-|-|-|-"};
        QTest::newRow("factory reset refused") << pm << "refuse" << "pushButton_factoryreset"
                                               << QStringList{"action|Factory reset|ATCFTRST|-|-||rejected"};
        QTest::newRow("TQ24 drift adjustment") << tq24 << "" << "pushButton_driftadj"
                                               << QStringList{"action|Zero drift adjustment|ATCDRFT|-|-|OK|confirmed",
                                                              "read|Zero drift adjustment|ATCDRFT|-|-|-|-"};
        QTest::newRow("TQ24 wizard") << tq24 << "" << ""
                                     << QStringList{"action|Calibration parameters|ATCCAL|-|1000,100,2100|"
                                                    "1000.00,100.00,2100.00|confirmed"};
    }

    void panel_eventPerOutcome_readAfterActions()
    {
        QFETCH(int, model);
        QFETCH(QString, fault);
        QFETCH(QString, action);
        QFETCH(QStringList, after);

        if (fault == QLatin1String("german"))
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        m_h.reset(new PanelHarness(SimulatedDevice::Model(model), QStringLiteral("SIM-REC-1")));
        m_h->sim->setSetting("ATCOFF1", 1.25);
        QVERIFY(m_h->openIdle());
        // The refresh at connection: one read event with every value as the device sent it.
        QCOMPARE(events(), QStringList{"read|-|-|-|-|-|-"});
        const QVariantMap read = query(file(), QStringLiteral("SELECT * FROM events")).value(0);
        QCOMPARE(read.value("serial").toString() + ' ' + read.value("firmware").toString(),
                 "SIM-REC-1 " + m_h->sim->versionReply().mid(7));
        const QJsonObject values = QJsonDocument::fromJson(read.value("details").toByteArray()).object();
        QCOMPARE(values.size(), m_h->commands().size() - 1); // every setting asked, the version aside
        QCOMPARE(values.value("ATCOFF1").toString(), QStringLiteral("1.25"));

        m_h->answer = sayYes;
        m_h->sim->setRefuseActions(fault == QLatin1String("refuse"));
        if (fault == QLatin1String("silent") || fault == QLatin1String("unplug"))
            m_h->sim->setSilentWords({"ATCOFF1"});
        m_h->setReplyTimeoutMs(fault == QLatin1String("silent") ? 300 : 0);
        m_h->sim->clearTranscript();
        bool isValue = false;
        const double value = action.toDouble(&isValue);
        if (isValue) {
            auto *editor = m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1");
            editor->setMaximum(2000000.0);
            editor->setValue(value);
            m_h->child("toolButton_offset_apply_ch1")->click();
        } else if (action.isEmpty()) {
            m_h->child("pushButton_mannual")->click();
            QPointer<CalibWizard> wizard = m_h->panel<Tq24Calibrator>()->wizard();
            QVERIFY(wizard);
            wizard->button(QWizard::FinishButton)->click();
            QTRY_VERIFY(!wizard);
        } else {
            m_h->child(qPrintable(action))->click();
        }
        if (fault == QLatin1String("port closed"))
            m_h->window->findChild<QSerialPort *>()->close();
        if (fault == QLatin1String("unplug")) {
            QTRY_COMPARE(m_h->commands().size(), 1);
            m_h->unplug();
        }
        QTRY_COMPARE(events().mid(1), after);
        if (m_h->window->panel() && m_h->waitIdle()) // nothing more once the panel is idle again
            QCOMPARE(events().mid(1), after);
    }

    void unwritableFolder_toldOnceAndCarriesOn()
    {
        m_h.reset(new PanelHarness(SimulatedDevice::Model::Tq24));
        const QString folder = QFileInfo(file()).absolutePath();
        // Root writes into a read-only folder, so for root a file takes the folder's place.
        QVERIFY(geteuid() == 0 ? QFile(folder).open(QIODevice::WriteOnly)
                               : QDir().mkpath(folder) &&
                                     QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
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

    // The report covers the period whatever kind is shown.
    void recordsWindow_filtersNewestFirst_csvOfRowsShown_reportAsFoundAsLeft_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("times");
        QTest::newRow("all") << QString() << QStringList{"08:04", "08:03", "08:02", "08:01", "08:00"};
        QTest::newRow("write") << "write" << QStringList{"08:03", "08:02", "08:01"};
        QTest::newRow("action") << "action" << QStringList{"08:04"};
    }

    void recordsWindow_filtersNewestFirst_csvOfRowsShown_reportAsFoundAsLeft()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, times);
        RecordsWindow window(seedRecord());
        window.showDevice({"TQ24", kSerial});
        auto *kinds = window.findChild<QComboBox *>("comboBox_kind");
        kinds->setCurrentIndex(kinds->findData(kind));

        QSqlQueryModel *model = window.model();
        QStringList shown;
        for (int row = 0; row < model->rowCount(); ++row)
            shown.append(model->index(row, 0).data().toString().mid(11, 5));
        QCOMPARE(shown, times);

        const QString csv = m_data->filePath("rows.csv");
        QVERIFY(window.exportCsv(csv, nullptr));
        const QList<QStringList> rows = parseCsv(csv);
        QCOMPARE(rows.size(), model->rowCount() + 1);
        QCOMPARE(rows.first().value(0), model->headerData(0, Qt::Horizontal).toString());
        for (int row = 0; row < model->rowCount(); ++row) {
            QCOMPARE(rows.at(row + 1).size(), model->columnCount());
            for (int column = 0; column < model->columnCount(); ++column)
                QCOMPARE(rows.at(row + 1).at(column), model->index(row, column).data().toString());
        }

        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString pdf = m_data->filePath("report.pdf");
        QString error;
        QVERIFY2(window.exportReport(pdf, "Technician Kim", &error), qPrintable(error));
        QProcess convert;
        convert.start(pdftotext, {"-layout", pdf, "-"});
        QVERIFY(convert.waitForFinished(20000));
        const QString text = QString::fromUtf8(convert.readAllStandardOutput())
                                 .normalized(QString::NormalizationForm_KC)
                                 .simplified();
        QVERIFY2(text.contains(kSerial) && text.contains("Technician Kim"), qPrintable(text));
        // As found from the read before the first write when that write has no value before; as left the
        // last confirmed value, whatever was rejected after it.
        QVERIFY2(text.contains("Offset CH1 ATCOFF1 0.00 2.50 2"), qPrintable(text));
        QVERIFY2(text.contains("Offset CH2 ATCOFF2 1.50 1.25 1"), qPrintable(text));
        QVERIFY2(text.contains("Factory reset") && !text.contains("OTHER-1"), qPrintable(text));
        QFile html(m_data->filePath("report.html"));
        QVERIFY(html.open(QIODevice::ReadOnly) && html.readAll().contains(kSerial));
    }

    // The second live field never has a value; TQ24 shows its fields out of order on its displays.
    void liveRecording_rowPerPoll_gapsEmpty_pointDecimalsInGerman_data()
    {
        QTest::addColumn<SimulatedDevice::Model>("model");
        QTest::addColumn<int>("fieldCount");
        QTest::addColumn<QString>("missingUnit");
        QTest::newRow("TQ21") << SimulatedDevice::Model::Tq21 << 2 << QString("\u00B0C");
        QTest::newRow("TQ24") << SimulatedDevice::Model::Tq24 << 6 << QString("ppm");
    }

    void liveRecording_rowPerPoll_gapsEmpty_pointDecimalsInGerman()
    {
        QFETCH(SimulatedDevice::Model, model);
        QFETCH(int, fieldCount);
        QFETCH(QString, missingUnit);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        m_h.reset(new PanelHarness(model));
        m_h->window->setPollPeriodMs(200);
        m_h->sim->setNoValueFields({2});
        QVERIFY(m_h->openIdle());
        m_h->sim->clearTranscript();
        LiveRecorder *recorder = m_h->window->liveRecorder();
        const QString path = m_data->filePath("live.csv");
        QVERIFY(recorder->start(m_h->panel<Calibrator>(), path));
        QTRY_VERIFY(recorder->sampleCount() >= 4);
        m_h->window->pollTimer()->stop();
        QTest::qWait(300); // the last poll's answer
        m_h->unplug();
        QVERIFY(!recorder->isRecording());

        const QList<QStringList> rows = parseCsv(path);
        QCOMPARE(rows.size(), m_h->sim->receivedCommands().size() + 1);
        QCOMPARE(rows.first().size(), 2 + 2 * fieldCount); // time, elapsed, then value and unit per field
        const QRegularExpression number("^-?[0-9]+(\\.[0-9]+)?$");
        for (const QStringList &row : rows.mid(1)) {
            QCOMPARE(row.size(), rows.first().size());
            QCOMPARE(row.mid(4, 2), QStringList({QString(), missingUnit}));
            for (int cell : {1, 2, 6})
                QVERIFY2(number.match(row.value(cell, "0")).hasMatch(), qPrintable(row.join('|')));
        }
    }

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
    // A record of two devices: for the TQ24 a read, three writes of two settings and a factory reset.
    QString seedRecord() const
    {
        // Yesterday: inside the window's default period (first event to today) in any time zone.
        const QDate day = QDateTime::currentDateTimeUtc().date().addDays(-1);
        CalibrationRecord record(m_data->path());
        // time, kind, model, serial, setting, command, before, written, confirmed, outcome, details
        for (const char *row : {"08:00:00|read|TQ24|%1|||||||{\"Offset CH1\": \"0.00\", \"ATCOFF2\": \"1.50\"}",
                                "08:01:00|write|TQ24|%1|Offset CH1|ATCOFF1||2.5|2.50|confirmed|",
                                "08:02:00|write|TQ24|%1|Offset CH1|ATCOFF1|2.50|3|2.50|rejected|",
                                "08:03:00|write|TQ24|%1|Offset CH2|ATCOFF2|1.50|1.25|1.25|confirmed|",
                                "08:04:00|action|TQ24|%1|Factory reset|ATCFTRST||||confirmed|"
                                "{\"note\": \"say \\\"ok\\\", then, refresh\"}",
                                "08:05:00|read|TQ20|OTHER-1|||||||{}"}) {
            QStringList f = QString::fromLatin1(row).replace("%1", kSerial).split('|');
            for (QString &text : f)
                text = text.isEmpty() ? QString() : text; // NULL in the file
            if (!record.append({f[1], f[2], f[3], QStringLiteral("TQ24-1v5"), f[4], f[5], f[6], f[7], f[8], f[9],
                                f[10], QDateTime(day, QTime::fromString(f[0]), Qt::UTC)}))
                qWarning("%s", qPrintable(record.errorString()));
        }
        return record.filePath();
    }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<PanelHarness> m_h;
};

int main(int argc, char *argv[])
{
    if (argc == 5 && qstrcmp(argv[1], "--write") == 0) {
        QCoreApplication app(argc, argv);
        return writeEvents(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), atoi(argv[4]));
    }
    QTEST_MAIN_IMPL(TestRecords)
}
#include "tst_records.moc"
