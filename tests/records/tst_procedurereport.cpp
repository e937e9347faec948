#include "device/devicesession.h"
#include "device/procedure.h"
#include "device/responderport.h"
#include "device/stabilitydefaults.h"
#include "records/calibrationrecord.h"
#include "records/procedurereport.h"
#include "records/recordschema.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// A finished procedure on a TQ24 in this process, as one calibration in the record: its report,
// the event that stores it and the JSON read back from that event.
class TestProcedureReport : public QObject
{
    Q_OBJECT
private slots:
    void finished_data();
    void finished();
    void fromJson_refusesOtherDetails_data();
    void fromJson_refusesOtherDetails();
};

void TestProcedureReport::finished_data()
{
    QTest::addColumn<QString>("fault"); // "", "check", "refuse", "abort", "expired"
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("before"); // as found; the columns of the records table
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("after"); // as left
    QTest::addColumn<int>("writes");
    const QString guided = RecordSchema::kSettingGuided;
    const QString span = "TQ24 span calibration (ATCCSP)";
    QTest::newRow("adjusted, passes") << "" << RecordSchema::kOutcomePass << span << guided << "ATCCSP"
                                      << "391.25"
                                      << "400.00"
                                      << "400.00" << 2;
    QTest::newRow("check out of tolerance fails")
        << "check" << RecordSchema::kOutcomeFail << "TQ24 gas check against a reference"
        << RecordSchema::kSettingCheck << ""
        << "391.25"
        << ""
        << "391.25" << 0;
    QTest::newRow("device keeps its span: fails")
        << "refuse" << RecordSchema::kOutcomeFail << span << guided << "ATCCSP"
        << "391.25"
        << "400.00"
        << "391.25" << 1;
    QTest::newRow("aborted: incomplete")
        << "abort" << RecordSchema::kOutcomeIncomplete << span << guided << ""
        << ""
        << ""
        << "" << 0;
    QTest::newRow("expired gas: incomplete")
        << "expired" << RecordSchema::kOutcomeIncomplete << span << guided << ""
        << ""
        << ""
        << "" << 0;
}

void TestProcedureReport::finished()
{
    QFETCH(QString, fault);
    QFETCH(QString, result);

    ResponderPort port(tqsim::Model::Tq24);
    double gas = 391.25;
    port.override = [&](const QByteArray &line) -> QByteArray {
        if (line == "ATCH")
            return "ATCH 180.0," + QByteArray::number(gas, 'f', 2) + ",23.50,100.0,5.00000,100.0";
        if (line.startsWith("ATCCSP") && fault == "refuse")
            return port.responder.answer("ATCCSP", 0);
        if (line.startsWith("ATCCSP "))
            gas = line.mid(7).toDouble();
        return port.responder.answer(line, 0);
    };
    DeviceSession session;
    QVERIFY(identifyAndPoll(session, port, QStringLiteral("SIM-7")));

    ProcedurePoint point;
    point.reference = 400;
    point.tolerance = 4;
    point.checkOnly = fault == "check";
    point.gasExpiry = fault == "expired" ? QDate(2020, 1, 1) : QDate(2099, 12, 31);
    point.limits = *StabilityDefaults::limits(24, 1, 400);
    point.limits.dwellS = 0.2;
    point.limits.windowS = 0.2;
    point.timeoutS = 5;
    Procedure procedure(&session, point);
    QStringList lastLive;
    connect(&session, &DeviceSession::liveSample, &procedure, [&](const LiveSample &sample) {
        lastLive = sample.fields;
        if (fault == "abort" && procedure.step() == Procedure::Step::WaitingForStable)
            procedure.abort();
    });
    procedure.start();
    procedure.gasApplied();
    QTRY_VERIFY_WITH_TIMEOUT(procedure.isFinished(), 10000);
    session.close();

    ProcedureReport report = ProcedureReport::started();
    report.model = QStringLiteral("TQ24");
    report.serial = QStringLiteral("SIM-7");
    report.firmware = session.identity().versionText;
    report.checkOnly = point.checkOnly;
    report.method = methodName(24, session.identity().firmware, point);
    report.gases.append({"CO2", 400, "ppm", "L-1", point.gasExpiry, 2.0});
    report.setTemperatureFrom(24, lastLive);
    report.points.append(reportPoint(procedure, 24));
    report.conclude();

    QCOMPARE(report.result, result);
    QCOMPARE(report.isComplete(), result != QLatin1String(RecordSchema::kOutcomeIncomplete));
    QCOMPARE(report.writes, procedure.writes());
    QTEST(report.writes.size(), "writes");
    QTEST(report.method, "method");
    QCOMPARE(report.points.first().channelName, QStringLiteral("gas"));
    QCOMPARE(report.points.first().unit, QStringLiteral("ppm"));
    QCOMPARE(report.reason.isEmpty(), result == QLatin1String(RecordSchema::kOutcomePass));
    if (fault != "expired") // refused before the first reading
        QCOMPARE(report.temperature.value_or(-1), 23.5);

    const CalibrationEvent event = report.toEvent();
    QCOMPARE(event.kind, QString(RecordSchema::kKindAction));
    QCOMPARE(event.outcome, result);
    QTEST(event.setting, "setting");
    QTEST(event.command, "command");
    QTEST(event.valueBefore, "before");
    QTEST(event.valueWritten, "written");
    QTEST(event.valueConfirmed, "after");

    // Read back from the details: the same report, to the last digit.
    QString error;
    const std::optional<ProcedureReport> back =
        ProcedureReport::fromJson(QJsonDocument::fromJson(event.details.toUtf8()).object(), &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(back->toJson(), report.toJson());
    QCOMPARE(back->calibrated, report.calibrated);
    QCOMPARE(back->calibrated.offsetFromUtc(), report.calibrated.offsetFromUtc());
    QCOMPARE(back->gases.first().uncertainty.value_or(0), 2.0);
    QCOMPARE(back->points.first().asFound.value, report.points.first().asFound.value);

    // The record takes it as it is: one row, without a change of its layout.
    QTemporaryDir dir;
    CalibrationRecord record(dir.path());
    record.setTool(QLatin1String(RecordSchema::kToolCommandLine));
    QVERIFY2(record.append(event), qPrintable(record.errorString()));
    QCOMPARE(QFileInfo(dir.filePath(RecordSchema::kFileName)).exists(), true);
}

void TestProcedureReport::fromJson_refusesOtherDetails_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("another action's details") << QByteArray(R"({"ATCOFF1": "1.00"})");
    QTest::newRow("a newer format") << QByteArray(R"({"format": "tq-procedure-report", "version": 99})");
    QTest::newRow("no result") << QByteArray(
        R"({"format": "tq-procedure-report", "version": 1, "model": "TQ24",
        "calibrated": "2026-12-08T10:00:00.000Z"})");
    QTest::newRow("a point without result") << QByteArray(R"({"format": "tq-procedure-report", "version": 1,
        "model": "TQ24", "calibrated": "2026-12-08T10:00:00.000Z", "result": "pass", "points": [{}]})");
}

void TestProcedureReport::fromJson_refusesOtherDetails()
{
    QFETCH(QByteArray, json);
    QString error;
    QVERIFY(!ProcedureReport::fromJson(QJsonDocument::fromJson(json).object(), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestProcedureReport)
#include "tst_procedurereport.moc"
