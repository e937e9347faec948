#include "records/calibrationrecord.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The first layout of the file, as the window wrote it before events named their tool.
const char *const kVersion1Table =
    "CREATE TABLE events (id INTEGER PRIMARY KEY AUTOINCREMENT, time_utc TEXT NOT NULL, utc_offset TEXT NOT "
    "NULL,"
    " kind TEXT NOT NULL, model TEXT NOT NULL, serial TEXT NOT NULL, firmware TEXT NOT NULL,"
    " tool_version TEXT NOT NULL, setting TEXT, command TEXT, value_before TEXT, value_written TEXT,"
    " value_confirmed TEXT, outcome TEXT, details TEXT)";

QStringList rows(const QString &file, const QString &statement)
{
    QStringList result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open() && query.exec(statement)) {
            while (query.next())
                result.append(query.value(0).isNull() ? QStringLiteral("NULL") : query.value(0).toString());
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return result;
}

} // namespace

// The record's layout moves forward in place: old events stay as they were, new ones name the
// program that wrote them.
class TestCalibrationRecord : public QObject
{
    Q_OBJECT
private slots:
    void append_anyEarlierLayout_raisedOnceToolNamed_data()
    {
        QTest::addColumn<QStringList>("before"); // statements that make the file as found
        QTest::addColumn<QStringList>("tools");  // the tool of every event afterwards, oldest first

        QTest::newRow("no file") << QStringList() << QStringList{"TQ_Gas_Calibrator", "tqcal"};
        QTest::newRow("version 1 with an event")
            << QStringList{kVersion1Table,
                           "INSERT INTO events (time_utc, utc_offset, kind, model, serial, firmware, "
                           "tool_version)"
                           " VALUES ('2024-01-01T00:00:00.000Z', '+00:00', 'write', 'TQ24', 'S1', "
                           "'TQ24-1v5', '4.97')",
                           "PRAGMA user_version = 1"}
            << QStringList{"NULL", "TQ_Gas_Calibrator", "tqcal"};
        // Version 2 guards its events against UPDATE: the uuids of version 3 get in all the same.
        QTest::newRow("version 2 with two events, guarded")
            << QStringList{kVersion1Table, "ALTER TABLE events ADD COLUMN tool TEXT",
                           "CREATE TRIGGER events_no_update BEFORE UPDATE ON events"
                           " BEGIN SELECT RAISE(ABORT, 'calibration records are append-only'); END",
                           "INSERT INTO events (time_utc, utc_offset, kind, model, serial, firmware, "
                           "tool_version, tool)"
                           " VALUES ('2025-01-01T00:00:00.000Z', '+00:00', 'write', 'TQ24', 'S1', "
                           "'TQ24-1v5', '4.98',"
                           " 'tqcal'), ('2025-01-02T00:00:00.000Z', '+00:00', 'read', 'TQ24', 'S1', "
                           "'TQ24-1v5',"
                           " '4.98', 'TQ_Gas_Calibrator')",
                           "PRAGMA user_version = 2"}
            << QStringList{"tqcal", "TQ_Gas_Calibrator", "TQ_Gas_Calibrator", "tqcal"};
    }

    void append_anyEarlierLayout_raisedOnceToolNamed()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, tools);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("calibration-records.sqlite"));
        for (const QString &statement : before)
            rows(file, statement);

        // Two writers one after the other: the second finds the file raised already.
        CalibrationRecord window(folder.path());
        QVERIFY2(window.append({QStringLiteral("write"), QStringLiteral("TQ24"), QStringLiteral("S1")}),
                 qPrintable(window.errorString()));
        CalibrationRecord commandLine(folder.path());
        commandLine.setTool(QStringLiteral("tqcal"));
        QVERIFY2(commandLine.append({QStringLiteral("action"), QStringLiteral("TQ24"), QStringLiteral("S1")}),
                 qPrintable(commandLine.errorString()));

        QCOMPARE(rows(file, QStringLiteral("PRAGMA user_version")), QStringList{"3"});
        // Every event, old or new, has a UUID of its own.
        QCOMPARE(rows(file, QStringLiteral("SELECT count(DISTINCT uuid) FROM events WHERE uuid LIKE"
                                           " '________-____-4___-____-____________'")),
                 QStringList{QString::number(tools.size())});
        QCOMPARE(
            rows(file, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name LIKE 'events_no_%'")),
            QStringList{"2"});
        QCOMPARE(rows(file, QStringLiteral("SELECT tool FROM events ORDER BY id")), tools);
        QCOMPARE(rows(file, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    }
};

QTEST_GUILESS_MAIN(TestCalibrationRecord)
#include "tst_calibrationrecord.moc"
