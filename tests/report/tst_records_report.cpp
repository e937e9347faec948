#include "app/records/calibrationreport.h"
#include "app/records/liverecorder.h"
#include "app/records/recordswindow.h"
#include "calib/recordschema.h"
#include "panels/panelharness.h"

#include <QComboBox>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTemporaryDir>

Q_DECLARE_METATYPE(SimulatedDevice::Model)

namespace {

const char *const kSerial = "SIM-TQ24-0001";

// The rows of a CSV text (quotes undone); the byte order mark must lead it.
QList<QStringList> parseCsv(QByteArray bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return {};
    const QString text = QString::fromUtf8(bytes.mid(3));
    QList<QStringList> rows{{QString()}};
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == '"' && i + 1 < text.size() && text.at(i + 1) == '"')
            rows.last().last() += text.at(++i);
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            rows.last().append(QString());
        else if (!quoted && c == '\n')
            rows.append({QString()});
        else if (quoted || c != '\r')
            rows.last().last() += c;
    }
    rows.removeLast(); // after the last line end
    return rows;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestRecordsReport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void recordsWindow_filtersNewestFirst_csvHoldsTheRowsShown_data();
    void recordsWindow_filtersNewestFirst_csvHoldsTheRowsShown();
    void report_pdfHoldsSerialAsFoundAndAsLeft();
    void liveRecording_rowPerPoll_gapsEmpty_pointDecimalsInGerman_data();
    void liveRecording_rowPerPoll_gapsEmpty_pointDecimalsInGerman();

private:
    QTemporaryDir m_dir;
    QString m_database;
};

// A record of two devices: for the TQ24 a read, three writes of two settings and a factory reset.
void TestRecordsReport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_database = m_dir.filePath(QStringLiteral("calibration-records.sqlite"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
    db.setDatabaseName(m_database);
    QVERIFY(db.open());
    QSqlQuery query(db);
    for (const char *statement : RecordSchema::kCreateStatements)
        QVERIFY2(query.exec(QLatin1String(statement)), qPrintable(query.lastError().text()));
    // Yesterday: inside the window's default period (first event to today) in any time zone.
    const QString day = QDateTime::currentDateTimeUtc().date().addDays(-1).toString(Qt::ISODate);
    const QStringList rows = {
        // time, kind, model, serial, setting, command, before, written, confirmed, outcome, details
        "08:00:00|read|TQ24|%1|||||||{\"Offset CH1\": \"0.00\", \"ATCOFF2\": \"1.50\"}",
        "08:01:00|write|TQ24|%1|Offset CH1|ATCOFF1||2.5|2.50|confirmed|",
        "08:02:00|write|TQ24|%1|Offset CH1|ATCOFF1|2.50|3|2.50|rejected|",
        "08:03:00|write|TQ24|%1|Offset CH2|ATCOFF2|1.50|1.25|1.25|confirmed|",
        "08:04:00|action|TQ24|%1|Factory reset|ATCFTRST||||confirmed|{\"note\": \"say \\\"ok\\\", then, "
        "refresh\"}",
        "08:05:00|read|TQ20|OTHER-1|||||||{}",
    };
    for (const QString &row : rows) {
        const QStringList f = QString(row).replace("%1", kSerial).split('|');
        query.prepare(
            "INSERT INTO events (time_utc, utc_offset, kind, model, serial, firmware, tool_version, setting,"
            " command, value_before, value_written, value_confirmed, outcome, details)"
            " VALUES (?, '+00:00', ?, ?, ?, 'TQ24-1v5', '4.98', ?, ?, ?, ?, ?, ?, ?)");
        query.addBindValue(day + 'T' + f[0] + ".000Z");
        for (int i = 1; i < f.size(); ++i)
            query.addBindValue(f[i].isEmpty() ? QVariant(QVariant::String) : f[i]);
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
}

void TestRecordsReport::recordsWindow_filtersNewestFirst_csvHoldsTheRowsShown_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("times");
    QTest::newRow("all") << QString() << QStringList{"08:04", "08:03", "08:02", "08:01", "08:00"};
    QTest::newRow("write") << "write" << QStringList{"08:03", "08:02", "08:01"};
    QTest::newRow("action") << "action" << QStringList{"08:04"};
}

void TestRecordsReport::recordsWindow_filtersNewestFirst_csvHoldsTheRowsShown()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, times);
    RecordsWindow window(m_database);
    window.showDevice({"TQ24", kSerial});
    auto *kinds = window.findChild<QComboBox *>("comboBox_kind");
    kinds->setCurrentIndex(kinds->findData(kind));

    QSqlQueryModel *model = window.model();
    QStringList shown;
    for (int row = 0; row < model->rowCount(); ++row)
        shown.append(model->index(row, 0).data().toString().mid(11, 5));
    QCOMPARE(shown, times);

    const QString csv = m_dir.filePath("rows.csv");
    QVERIFY(window.exportCsv(csv, nullptr));
    const QList<QStringList> rows = parseCsv(readAll(csv));
    QCOMPARE(rows.size(), model->rowCount() + 1);
    QCOMPARE(rows.first().value(0), model->headerData(0, Qt::Horizontal).toString());
    for (int row = 0; row < model->rowCount(); ++row) {
        QCOMPARE(rows.at(row + 1).size(), model->columnCount());
        for (int column = 0; column < model->columnCount(); ++column)
            QCOMPARE(rows.at(row + 1).at(column), model->index(row, column).data().toString());
    }
}

void TestRecordsReport::report_pdfHoldsSerialAsFoundAndAsLeft()
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    RecordsWindow window(m_database);
    window.showDevice({"TQ24", kSerial});
    const QString pdf = m_dir.filePath("report.pdf");
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
    QVERIFY(readAll(m_dir.filePath("report.html")).contains(kSerial));
}

// The second live field never has a value; TQ24 shows its fields out of order on its displays.
void TestRecordsReport::liveRecording_rowPerPoll_gapsEmpty_pointDecimalsInGerman_data()
{
    QTest::addColumn<SimulatedDevice::Model>("model");
    QTest::addColumn<int>("fieldCount");
    QTest::addColumn<QString>("missingUnit");
    QTest::newRow("TQ21") << SimulatedDevice::Model::Tq21 << 2 << QString("\u00B0C");
    QTest::newRow("TQ24") << SimulatedDevice::Model::Tq24 << 6 << QString("ppm");
}

void TestRecordsReport::liveRecording_rowPerPoll_gapsEmpty_pointDecimalsInGerman()
{
    QFETCH(SimulatedDevice::Model, model);
    QFETCH(int, fieldCount);
    QFETCH(QString, missingUnit);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    pollIntervalMs = 200;
    PanelHarness h(model);
    h.sim->setNoValueFields({2});
    QVERIFY(h.openIdle());
    h.sim->clearTranscript();
    LiveRecorder *recorder = h.window->liveRecorder();
    const QString path = m_dir.filePath("live.csv");
    QVERIFY(recorder->start(h.panel<Calibrator>(), path));
    QTRY_VERIFY(recorder->sampleCount() >= 4);
    h.window->pollTimer()->stop();
    QTest::qWait(300); // the last poll's answer
    h.unplug();
    QVERIFY(!recorder->isRecording());

    const QList<QStringList> rows = parseCsv(readAll(path));
    QCOMPARE(rows.size(), h.sim->receivedCommands().size() + 1);
    QCOMPARE(rows.first().size(), 2 + 2 * fieldCount); // time, elapsed, then value and unit per field
    const QRegularExpression number("^-?[0-9]+(\\.[0-9]+)?$");
    for (const QStringList &row : rows.mid(1)) {
        QCOMPARE(row.size(), rows.first().size());
        QCOMPARE(row.mid(4, 2), QStringList({QString(), missingUnit}));
        for (int cell : {1, 2, 6})
            QVERIFY2(number.match(row.value(cell, "0")).hasMatch(), qPrintable(row.join('|')));
    }
    QLocale::setDefault(QLocale::c());
}

QTEST_MAIN(TestRecordsReport)
#include "tst_records_report.moc"
