#include "records/calibrationrecord.h"
#include "records/duedates.h"
#include "records/recordsdatabase.h"

#include <QTemporaryDir>
#include <QtTest>

// Which sensors fall due, from events as the panels and tqcal write them. One sensor per row,
// TQ24 "S", against a fixed today.
class TestDueDates : public QObject
{
    Q_OBJECT
private slots:
    void list_lastCalibrationAgainstInterval_data()
    {
        // Each event: "kind|setting|command|outcome|months ago".
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("intervalMonths");
        QTest::addColumn<int>("withinDays");
        QTest::addColumn<QString>(
            "expected"); // "overdue 2026-05-15", "due ...", "never", or "" for not listed

        QTest::newRow("offset written 13 months ago")
            << QStringList{"write|ATCOFF1|ATCOFF1|confirmed|13"} << 12 << 0 << "overdue 2026-05-15";
        QTest::newRow("offset written 11 months ago")
            << QStringList{"write|ATCOFF1|ATCOFF1|confirmed|11"} << 12 << 0 << "";
        QTest::newRow("11 months ago, asked 40 days ahead")
            << QStringList{"write|ATCOFF1|ATCOFF1|confirmed|11"} << 12 << 40 << "due 2026-07-15";
        QTest::newRow("a refused write since does not count")
            << QStringList{"write|ATCOFF1|ATCOFF1|confirmed|13", "write|ATCOFF1|ATCOFF1|rejected|1"} << 12
            << 0 << "overdue 2026-05-15";
        QTest::newRow("a mode write is no calibration")
            << QStringList{"write|ATCMODE|ATCMODE|confirmed|1"} << 12 << 0 << "never";
        QTest::newRow("only read") << QStringList{"read|||confirmed|1"} << 12 << 0 << "never";
        QTest::newRow("span calibration action")
            << QStringList{"action|ATCCSP|ATCCSP|confirmed|2"} << 12 << 0 << "";
        QTest::newRow("guided calibration passed")
            << QStringList{"write|ATCOFF1|ATCOFF1|confirmed|20", "action|Guided calibration|ATCCZR|pass|3"}
            << 12 << 0 << "";
        QTest::newRow("guided calibration failed")
            << QStringList{"write|ATCOFF1|ATCOFF1|confirmed|20", "action|Guided calibration|ATCCZR|fail|3"}
            << 12 << 0 << "overdue 2025-10-15";
        QTest::newRow("the model's own interval")
            << QStringList{"action|ATCCZR|ATCCZR|confirmed|7"} << 6 << 0 << "overdue 2026-05-15";
    }

    void list_lastCalibrationAgainstInterval()
    {
        QFETCH(QStringList, events);
        QFETCH(int, intervalMonths);
        QFETCH(int, withinDays);
        QFETCH(QString, expected);
        const QDate today(2026, 6, 15);
        QTemporaryDir folder;
        CalibrationRecord record(folder.path());
        for (const QString &text : events) {
            const QStringList f = text.split(QLatin1Char('|'));
            CalibrationEvent e{f.at(0), QStringLiteral("TQ24"), QStringLiteral("S")};
            e.setting = f.at(1);
            e.command = f.at(2);
            e.outcome = f.at(3);
            e.time = QDateTime(today.addMonths(-f.at(4).toInt()), QTime(12, 0), Qt::UTC);
            QVERIFY(record.append(e));
        }
        RecordsDatabase database;
        QVERIFY(database.open(record.filePath()));
        QString error;
        const QList<DueSensor> due = DueDates::list(
            database.database(), today, withinDays, [&](const QString &) { return intervalMonths; }, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QString actual;
        if (!due.isEmpty()) {
            QCOMPARE(due.size(), 1);
            actual = !due.first().due.isValid()
                         ? QStringLiteral("never")
                         : (due.first().overdue ? QStringLiteral("overdue ") : QStringLiteral("due ")) +
                               due.first().due.toString(Qt::ISODate);
        }
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestDueDates)
#include "tst_duedates.moc"
