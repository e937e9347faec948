#include "device/devicemodels.h"
#include "device/devicesession.h"
#include "device/modeltable.h"
#include "device/procedure.h"
#include "device/stabilitydefaults.h"
#include "responderport.h"

#include <QtTest>

// One calibration point against a TQ24 in this process. The responder answers every command; its
// live line is scripted so the gas reading holds still or climbs, and follows a taken span as a
// sensor in the reference gas would.
class TestProcedure : public QObject
{
    Q_OBJECT
private slots:
    void plan_data();
    void plan();
    void point_data();
    void point();
    void unitInForce_data();
    void unitInForce();
    void units_everyChoiceHasLimitsAndMaximum();
    void plan_inTheUnitShown_data();
    void plan_inTheUnitShown();
};

// The command each model adjusts a channel with, and the refusal of a too large correction.
void TestProcedure::plan_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("reference");
    QTest::addColumn<double>("reading");
    QTest::addColumn<QString>("command"); // empty: refused
    QTest::newRow("TQ24 zero gas") << 24 << 15 << 1 << 0.0 << 3.2 << "ATCCZR";
    QTest::newRow("TQ21 CO2") << 21 << 15 << 1 << 1000.0 << 950.0 << "ATCCAL 1000.00";
    QTest::newRow("TQ20 clean air, old firmware") << 20 << 11 << 1 << 0.0 << 0.2 << "ATCUCAL";
    QTest::newRow("TQ20 clean air, firmware without it") << 20 << 12 << 1 << 0.0 << 0.2 << "ATCOFF1";
    QTest::newRow("TQ22 O2 offset") << 22 << 10 << 1 << 20.9 << 20.5 << "ATCOFF1";
    QTest::newRow("TQ22 O2 offset too large") << 22 << 10 << 1 << 20.9 << 18.9 << "";
    QTest::newRow("PM channel 5 offset") << kPmModel << 10 << 5 << 30.0 << 25.0 << "ATCOFF5";
    QTest::newRow("channel without an offset") << 24 << 15 << 3 << 1.0 << 1.0 << "";
}

void TestProcedure::plan()
{
    QFETCH(int, model);
    QFETCH(int, firmware);
    QFETCH(int, channel);
    QFETCH(double, reference);
    QFETCH(double, reading);
    QFETCH(QString, command);
    const Adjustment::Plan plan = Adjustment::plan(model, firmware, channel, reference, reading);
    QCOMPARE(plan.refusal.isEmpty(), !command.isEmpty());
    if (!command.isEmpty())
        QCOMPARE(QStringList({plan.word, plan.argument}).join(QLatin1Char(' ')).trimmed(), command);
}

void TestProcedure::point_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("reference");
    QTest::addColumn<double>("found"); // what the channel reads before any adjustment
    // "", "check", "expired", "refuse", "error", "stuck" (ignores the span), "climb", "jitter", "abort",
    // "unplug"
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("step"); // the step it ends in
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<bool>("asLeft"); // whether it got as far as an as-left reading
    const QStringList none;
    const QString stamp = QStringLiteral("ATCEXTM"); // with the time it passed
    const QString span = QStringLiteral("ATCCSP 400.00");
    QTest::newRow("span out of tolerance: adjusted, passes") << 1 << 400.0 << 391.25 << ""
                                                             << "Passed" << QStringList{span, stamp} << true;
    QTest::newRow("span within tolerance: only the time") << 1 << 400.0 << 398.5 << ""
                                                          << "Passed" << QStringList{stamp} << false;
    QTest::newRow("check: out of tolerance fails, nothing written") << 1 << 400.0 << 391.25 << "check"
                                                                    << "Failed" << none << false;
    QTest::newRow("check: within tolerance passes, nothing written") << 1 << 400.0 << 398.5 << "check"
                                                                     << "Passed" << none << false;
    QTest::newRow("expired gas: refused unwritten") << 1 << 400.0 << 391.25 << "expired"
                                                    << "Refused" << none << false;
    QTest::newRow("correction over the maximum: refused unwritten") << 1 << 500.0 << 391.25 << ""
                                                                    << "Refused" << none << false;
    QTest::newRow("device keeps its span: fails") << 1 << 400.0 << 391.25 << "refuse"
                                                  << "Failed" << QStringList{span} << false;
    QTest::newRow("device answers ERROR: fails") << 1 << 400.0 << 391.25 << "error"
                                                 << "Failed" << QStringList{span} << false;
    QTest::newRow("reading ignores the span: fails as left") << 1 << 400.0 << 391.25 << "stuck"
                                                             << "Failed" << QStringList{span} << true;
    QTest::newRow("temperature: offset old + (reference - reading)")
        << 2 << 23.0 << 24.5 << ""
        << "Passed" << QStringList{"ATCOFF2 -1.50", stamp} << true;
    QTest::newRow("never stable: timed out, nothing written") << 1 << 400.0 << 391.25 << "climb"
                                                              << "TimedOut" << none << false;
    QTest::newRow("never stable, accepted: within tolerance unadjusted")
        << 1 << 400.0 << 400.0 << "jitter"
        << "Passed" << QStringList{stamp} << false;
    QTest::newRow("aborted while settling: nothing written") << 1 << 400.0 << 391.25 << "abort"
                                                             << "Aborted" << none << false;
    QTest::newRow("unplugged after the span: nothing more") << 1 << 400.0 << 391.25 << "unplug"
                                                            << "Unplugged" << QStringList{span} << false;
}

void TestProcedure::point()
{
    QFETCH(int, channel);
    QFETCH(double, reference);
    QFETCH(double, found);
    QFETCH(QString, fault);
    QFETCH(QString, step);
    QFETCH(QStringList, writes);
    QFETCH(bool, asLeft);

    ResponderPort port(tqsim::Model::Tq24);
    double gas = found;
    double jitter = 3.0; // ±3 ppm each poll: never under the SD limit of 1 ppm at 400 ppm
    port.override = [&](const QByteArray &line) -> QByteArray {
        if (line == "ATCH") {
            gas += fault == "climb" ? 1.0 : 0.0;
            jitter = fault == "jitter" ? -jitter : 0.0;
            const double temperature =
                (channel == 2 ? found : 24.0) + port.responder.setting("ATCOFF2").toDouble();
            return "ATCH 180.0," + QByteArray::number(channel == 1 ? gas + jitter : 391.0, 'f', 2) + ',' +
                   QByteArray::number(temperature, 'f', 2) + ",100.0,5.00000,100.0";
        }
        if (line.startsWith("ATCCSP") && fault == "refuse")
            return port.responder.answer("ATCCSP", 0); // the span it held before: not taken
        if (line.startsWith("ATCCSP") && fault == "error")
            return "ERROR";
        const QByteArray reply = port.responder.answer(line, 0);
        if (line.startsWith("ATCCSP ") && fault != "stuck")
            gas = line.mid(7).toDouble();
        return reply;
    };
    DeviceSession session;
    QVERIFY(identifyAndPoll(session, port, QStringLiteral("SIM-1")));

    ProcedurePoint point;
    point.channel = channel;
    point.reference = reference;
    point.tolerance = 0.01 * reference; // 1 %
    point.limits = *StabilityDefaults::limits(24, channel, reference);
    point.limits.dwellS = 0.2;
    point.limits.windowS = 0.2;
    point.acceptUnstable = fault == "jitter";
    point.checkOnly = fault == "check";
    point.gasExpiry = fault == "expired" ? QDate(2020, 1, 1) : QDate(2099, 12, 31);
    // Generous where it must settle, on a loaded machine too.
    point.timeoutS = fault == "climb" || fault == "jitter" ? 1.0 : 5.0;
    Procedure procedure(&session, point);
    // The first reading while settling can never be stable: the dwell has not begun.
    connect(&session, &DeviceSession::liveSample, &procedure, [&] {
        if (procedure.step() == Procedure::Step::WaitingForStable && fault == "abort")
            procedure.abort();
        if (procedure.step() == Procedure::Step::WaitingAfterAdjust && fault == "unplug") {
            session.close(); // as the session does when its port fails
            emit session.lost(QStringLiteral("unplugged"));
        }
    });
    const qint64 startedAt = QDateTime::currentSecsSinceEpoch();
    procedure.start();
    procedure.gasApplied();
    QTRY_VERIFY_WITH_TIMEOUT(procedure.isFinished(), 10000);

    QCOMPARE(QString::fromLatin1(QMetaEnum::fromType<Procedure::Step>().valueToKey(int(procedure.step()))),
             step);
    // What reached the wire is what the procedure says it wrote; the time stamp is the time it passed.
    QStringList sent;
    for (const QByteArray &line : qAsConst(port.received)) {
        if (line.contains(' '))
            sent << QString::fromLatin1(line);
    }
    QCOMPARE(procedure.writes(), sent);
    if (!sent.isEmpty() && sent.last().startsWith(QLatin1String("ATCEXTM "))) {
        const qint64 at = sent.last().mid(8).toLongLong();
        QVERIFY(at >= startedAt && at <= QDateTime::currentSecsSinceEpoch());
        sent.last() = QStringLiteral("ATCEXTM");
    }
    QCOMPARE(sent, writes);
    if (procedure.asFound().taken) {
        QCOMPARE(procedure.asFound().stable, fault != "jitter");
        // The mean of an odd count of alternating readings is off by up to the jitter over the count.
        QVERIFY(qAbs(procedure.asFound().value - found) <= (fault == "jitter" ? 3.0 : 1e-9));
        QVERIFY(qAbs(procedure.asFound().error - (procedure.asFound().value - reference)) < 1e-9); // signed
    }
    if (step == "Passed" && asLeft) {
        QVERIFY(procedure.asLeft().stable);
        QCOMPARE(procedure.asLeft().value, reference);
    }
    QCOMPARE(procedure.asLeft().taken, asLeft);
    session.close();
}

// The unit a TQ20 field shows, over its unit codes and the firmware that counts them from 1 (before
// 1v2) or from 0: the settings asked, in order and no more than needed, and the unit they give.
void TestProcedure::unitInForce_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("device"); // the settings as the device answers them
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("unit"); // empty: cannot be told
    // clang-format off
    QTest::newRow("TVOC 1v1 code 1: ppm") << 20 << 11 << 0 << "ATCVOCU=1" << "ATCVOCU" << "TVOC ppm";
    QTest::newRow("TVOC 1v1 code 2: ppb") << 20 << 11 << 0 << "ATCVOCU=2" << "ATCVOCU" << "TVOC ppb";
    QTest::newRow("TVOC 1v1 code 0: none") << 20 << 11 << 0 << "ATCVOCU=0" << "ATCVOCU" << "";
    QTest::newRow("TVOC 1v2 code 0: ppm") << 20 << 12 << 0 << "ATCVOCU=0" << "ATCVOCU" << "TVOC ppm";
    QTest::newRow("TVOC 1v2 code 1: ppb") << 20 << 12 << 0 << "ATCVOCU=1" << "ATCVOCU" << "TVOC ppb";
    QTest::newRow("TVOC 1v2 code 2: none") << 20 << 12 << 0 << "ATCVOCU=2" << "ATCVOCU" << "";
    QTest::newRow("1v1 humidity mode: no CO2 unit asked") << 20 << 11 << 1 << "ATCMODE=1,ATCCU=1" << "ATCMODE" << "absolute humidity g/m3";
    QTest::newRow("CO2 1v1 code 1: %") << 20 << 11 << 1 << "ATCMODE=2,ATCCU=1" << "ATCMODE,ATCCU" << "CO2 %";
    QTest::newRow("CO2 1v1 code 2: ppm") << 20 << 11 << 1 << "ATCMODE=2,ATCCU=2" << "ATCMODE,ATCCU" << "CO2 ppm";
    QTest::newRow("CO2 1v2 code 0: %") << 20 << 12 << 1 << "ATCMODE=2,ATCCU=0" << "ATCMODE,ATCCU" << "CO2 %";
    QTest::newRow("CO2 3v2 code 1: ppm") << 20 << 32 << 1 << "ATCMODE=2,ATCCU=1" << "ATCMODE,ATCCU" << "CO2 ppm";
    QTest::newRow("CO2 1v2 code 2: none") << 20 << 12 << 1 << "ATCMODE=2,ATCCU=2" << "ATCMODE,ATCCU" << "";
    QTest::newRow("CO2 unit no number") << 20 << 12 << 1 << "ATCMODE=2,ATCCU=pct" << "ATCMODE,ATCCU" << "";
    QTest::newRow("unknown mode") << 20 << 12 << 1 << "ATCMODE=3,ATCCU=1" << "ATCMODE" << "";
    QTest::newRow("TQ24 gas: fixed, nothing asked") << 24 << 15 << 1 << "" << "" << "gas ppm";
    QTest::newRow("TQ20 has no third field") << 20 << 12 << 2 << "" << "" << "";
    // clang-format on
}

void TestProcedure::unitInForce()
{
    QFETCH(int, model);
    QFETCH(int, firmware);
    QFETCH(int, field);
    QFETCH(QString, device);
    QFETCH(QString, asked);
    QFETCH(QString, unit);
    QHash<QString, QString> held;
    for (const QString &pair : device.split(QLatin1Char(','), Qt::SkipEmptyParts))
        held.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    QHash<QString, QString> values;
    QStringList words;
    ModelTable::UnitLookup lookup = ModelTable::unitInForce(model, firmware, field, values);
    while (!lookup.unit && !lookup.nextWord.isEmpty() && words.size() < 5) {
        words << lookup.nextWord;
        values.insert(lookup.nextWord, held.value(lookup.nextWord));
        lookup = ModelTable::unitInForce(model, firmware, field, values);
    }
    QCOMPARE(words.join(QLatin1Char(',')), asked);
    QCOMPARE(lookup.unit ? QStringLiteral("%1 %2").arg(lookup.unit->name, lookup.unit->unit) : QString(),
             unit);
}

// Each unit a field can show has its stability limits and maximum correction.
void TestProcedure::units_everyChoiceHasLimitsAndMaximum()
{
    for (const int number : ModelTable::models()) {
        for (const ModelTable::FieldUnit &unit : ModelTable::find(number)->units) {
            int channel = 0;
            for (const StabilityDefaults::Channel &row : StabilityDefaults::all()) {
                if (row.model == number && row.field == unit.field)
                    channel = row.channel;
            }
            const QString text = QString::fromUtf8(unit.unit);
            QVERIFY2(StabilityDefaults::find(number, channel, text) &&
                         Adjustment::maxCorrection(number, channel, text) > 0,
                     unit.unit);
        }
    }
}

// A TQ20 offset adjustment in the unit the field shows: the maximum in that unit, the offset in
// the device's first unit.
void TestProcedure::plan_inTheUnitShown_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("reference");
    QTest::addColumn<double>("reading");
    QTest::addColumn<QString>("offset"); // from an offset of 0; empty: refused
    QTest::newRow("TVOC ppb: offset in ppm") << 1 << "ppb" << 250.0 << 200.0 << "0.05";
    QTest::newRow("TVOC ppm: 50 is over the maximum") << 1 << "ppm" << 250.0 << 200.0 << "";
    QTest::newRow("CO2 %: offset in ppm") << 2 << "%" << 0.07 << 0.062 << "80.00";
    QTest::newRow("CO2 %: over the maximum") << 2 << "%" << 0.3 << 0.062 << "";
}

void TestProcedure::plan_inTheUnitShown()
{
    QFETCH(int, channel);
    QFETCH(QString, unit);
    QFETCH(double, reference);
    QFETCH(double, reading);
    QFETCH(QString, offset);
    const Adjustment::Plan plan = Adjustment::plan(20, 12, channel, reference, reading, unit);
    QCOMPARE(plan.refusal.isEmpty(), !offset.isEmpty());
    if (offset.isEmpty())
        return;
    double scale = 0;
    for (const ModelTable::FieldUnit &row : ModelTable::find(20)->units)
        scale = row.field == channel - 1 && unit == QLatin1String(row.unit) ? row.offsetScale : scale;
    QCOMPARE(Adjustment::offsetArgument(0, reference, reading, scale), offset);
}

QTEST_GUILESS_MAIN(TestProcedure)
#include "tst_procedure.moc"
