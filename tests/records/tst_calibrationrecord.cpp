#include "calib/calibrationrecord.h"
#include "calib/recordschema.h"
#include "recordreader.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

// The record file as other processes see it: killed writers, two writers at once, and a layout
// nobody can edit.
class TestCalibrationRecord : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileWriting_keepsEveryCommittedEvent();
    void twoProcessesAtOnce_loseNothing();
    void appendOnly_versionedAndTimed();

private:
    QString file(const QTemporaryDir &dir) const
    {
        return dir.filePath(QStringLiteral("calibration-records.sqlite"));
    }
};

void TestCalibrationRecord::killedWhileWriting_keepsEveryCommittedEvent()
{
    QTemporaryDir dir;
    QProcess writer;
    writer.start(QStringLiteral(RECORD_WRITER), {dir.path(), QStringLiteral("SIM-KILL"), QStringLiteral("1000000")});
    QVERIFY(writer.waitForStarted());
    QByteArray out;
    while (out.count('\n') < 40 && writer.waitForReadyRead(10000))
        out += writer.readAllStandardOutput();
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished());
    out += writer.readAllStandardOutput();
    const int committed = out.left(out.lastIndexOf('\n')).split('\n').last().toInt();
    QVERIFY2(committed >= 40, writer.readAllStandardError().constData());

    RecordReader reader(file(dir));
    QCOMPARE(reader.value(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    // The one being written when the kill came may be there too, but nothing before it is missing.
    const int rows = reader.value(QStringLiteral("SELECT count(*) FROM events")).toInt();
    QVERIFY2(rows == committed || rows == committed + 1, qPrintable(QStringLiteral("%1 rows").arg(rows)));
    QCOMPARE(reader.value(QStringLiteral("SELECT max(CAST(value_written AS INTEGER)) FROM events")).toInt(), rows);
}

void TestCalibrationRecord::twoProcessesAtOnce_loseNothing()
{
    QTemporaryDir dir;
    const int count = 300;
    QProcess writers[2];
    for (int i = 0; i < 2; ++i)
        writers[i].start(QStringLiteral(RECORD_WRITER),
                         {dir.path(), QStringLiteral("SIM-%1").arg(i), QString::number(count)});
    for (QProcess &writer : writers) {
        QVERIFY(writer.waitForFinished(60000));
        QVERIFY2(writer.exitCode() == 0, writer.readAllStandardError().constData());
    }
    RecordReader reader(file(dir));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(reader.value(QStringLiteral("SELECT count(*) FROM events WHERE serial = 'SIM-%1'").arg(i)).toInt(),
                 count);
}

void TestCalibrationRecord::appendOnly_versionedAndTimed()
{
    QTemporaryDir dir;
    CalibrationEvent event;
    event.kind = QLatin1String(RecordSchema::kKindRead);
    event.serial = QStringLiteral("SIM-1");
    {
        CalibrationRecord record(dir.path());
        QVERIFY2(record.append(event), qPrintable(record.errorString()));
    }
    RecordReader reader(file(dir));
    const QVariantMap row = reader.events(QStringLiteral("read")).value(0);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"))
                .match(row.value(QStringLiteral("time_utc")).toString())
                .hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^[+-]\\d\\d:\\d\\d$"))
                .match(row.value(QStringLiteral("utc_offset")).toString())
                .hasMatch());
    QVERIFY(row.value(QStringLiteral("model")).toString().isEmpty() && !row.value(QStringLiteral("model")).isNull());
    QVERIFY(row.value(QStringLiteral("value_before")).isNull());
    QVERIFY(!row.value(QStringLiteral("tool_version")).toString().isEmpty());
    QCOMPARE(reader.value(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    QCOMPARE(reader.value(QStringLiteral("PRAGMA user_version")).toInt(), RecordSchema::kVersion);

    QVERIFY(!reader.exec(QStringLiteral("UPDATE events SET serial = 'forged'")));
    QVERIFY(!reader.exec(QStringLiteral("DELETE FROM events")));
    QCOMPARE(reader.value(QStringLiteral("SELECT serial FROM events")).toString(), QStringLiteral("SIM-1"));

    // A file of a later layout is left alone, with a reason.
    QVERIFY(reader.exec(QStringLiteral("PRAGMA user_version = %1").arg(RecordSchema::kVersion + 1)));
    CalibrationRecord older(dir.path());
    QVERIFY(!older.append(event));
    QVERIFY(older.errorString().contains(QLatin1String("newer")));
    QCOMPARE(reader.value(QStringLiteral("SELECT count(*) FROM events")).toInt(), 1);
}

QTEST_GUILESS_MAIN(TestCalibrationRecord)
#include "tst_calibrationrecord.moc"
