#include "app/benchcalibration.h"
#include "app/benchsettingwrite.h"
#include "device/devicemodels.h"
#include "device/modeltable.h"
#include "panels/benchharness.h"
#include "records/recordschema.h"

#include <QDir>

// Several bench devices in one chamber: one reference, each device its own procedure, result and
// record event; and one setting written to the devices of one model, each confirmed on its own.
class TestBenchMany : public QObject
{
    Q_OBJECT
private slots:
    void calibrateSelected_data();
    void calibrateSelected();
    void writeSetting_data();
    void writeSetting();
    void writeSetting_mixedModelsRefused();
};

namespace {

const int kPollMs = 70;
// Three samples settle a point: a fraction of a second for each wait.
const CalibrationTimes kTimes{0.25, 0.25, 8.0, 0};
const double kReference = 100;
const double kTolerance = 2;

// The number a model has in the registry, by the name records give it.
int modelNamed(const char *name)
{
    for (int model : ModelTable::models()) {
        if (DeviceModels::name(model) == QLatin1String(name))
            return model;
    }
    return 0;
}

// Each (kind, setting, outcome) of what the record holds for a serial, in order, reads left out.
QStringList recorded(const BenchHarness &h, const QString &serial)
{
    QStringList events;
    const QString name = QStringLiteral("bench-many");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(h.record->filePath());
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("SELECT kind, setting, outcome FROM events WHERE kind <> 'read' AND "
                                         "serial = ? ORDER BY rowid"));
            query.addBindValue(serial);
            query.exec();
            while (query.next()) {
                events.append(QStringLiteral("%1 %2 %3")
                                  .arg(query.value(0).toString(), query.value(1).toString(),
                                       query.value(2).toString()));
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return events;
}

// Three devices of `models` on the bench, ready and polled, their rows selected by the caller.
QList<DeviceHost *> openDevices(BenchHarness &h, const QStringList &models, double gas)
{
    QStringList serials;
    for (int i = 0; i < models.size(); ++i) {
        const QString serial = QStringLiteral("MANY-%1").arg(i);
        SimulatedDevice *sim = h.add(modelNamed(qPrintable(models.at(i))), serial);
        sim->setGasModel({gas, 0, 0, 0});
        serials << serial;
    }
    h.window->setPollPeriodMs(kPollMs);
    h.window->checkDevices();
    QList<DeviceHost *> hosts;
    if (!h.waitState(serials, DeviceHost::State::Ready, 8000))
        return hosts;
    for (const QString &serial : serials)
        hosts << h.host(serial);
    return hosts;
}

} // namespace

void TestBenchMany::calibrateSelected_data()
{
    QTest::addColumn<QStringList>("models");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("fault"); // what happens to the second device
    QTest::addColumn<bool>("checkOnly");
    // How each device ends: PASS, or the start of its row's text.
    QTest::addColumn<QStringList>("ends");
    const QStringList tq24s{"TQ24", "TQ24", "TQ24"};
    const QStringList mixed{"TQ21", "TQ24", "TQ22"};
    QTest::newRow("three adjusted, all pass")
        << tq24s << "gas" << QString() << false << QStringList{"PASS", "PASS", "PASS"};
    QTest::newRow("three checked, none adjusted")
        << tq24s << "gas" << QString() << true << QStringList{"FAIL", "FAIL", "FAIL"};
    QTest::newRow("one refuses the adjustment") << tq24s << "gas"
                                                << "refuses" << false << QStringList{"PASS", "FAIL", "PASS"};
    QTest::newRow("one unplugged mid-way")
        << tq24s << "gas"
        << "unplugged" << false << QStringList{"PASS", "gone: incomplete", "PASS"};
    QTest::newRow("mixed models, one has the channel")
        << mixed << "gas" << QString() << false
        << QStringList{"refused: TQ21 has no gas channel", "PASS", "refused: TQ22 has no gas channel"};
}

void TestBenchMany::calibrateSelected()
{
    QFETCH(QStringList, models);
    QFETCH(QString, channel);
    QFETCH(QString, fault);
    QFETCH(bool, checkOnly);
    QFETCH(QStringList, ends);
    BenchHarness h;
    const QList<DeviceHost *> hosts = openDevices(h, models, kReference + 5);
    QCOMPARE(hosts.size(), models.size());
    if (fault == QLatin1String("refuses"))
        h.sims.at(1)->setRefuseActions(true);
    BenchCalibration *run = h.window->calibration();
    run->setTimes(kTimes);
    ReferenceEntry entry;
    entry.reference = kReference;
    entry.tolerance = kTolerance;
    entry.lot = QStringLiteral("LOT-7");
    entry.checkOnly = checkOnly;
    entry.expiry = QDate::currentDate().addYears(1);
    const QString unit = hosts.at(models.indexOf("TQ24"))->panel()->calibrationDevice().units.value(1);
    const int started = run->start(hosts, entry, channel, unit);
    QCOMPARE(started, ends.count(QStringLiteral("PASS")) + ends.filter(QStringLiteral("FAIL")).size() +
                          ends.filter(QStringLiteral("gone")).size());
    QVERIFY(run->isWaitingForGas());
    run->gasApplied();
    if (fault == QLatin1String("unplugged")) {
        QVERIFY(QTest::qWaitFor([&] { return run->step(hosts.at(1)) == Procedure::Step::WaitingForStable; },
                                3000));
        h.unplug(QStringLiteral("MANY-1"));
    }
    QVERIFY(QTest::qWaitFor([&] { return !run->isRunning(); }, 8000));
    for (int i = 0; i < hosts.size(); ++i) {
        DeviceHost *host = hosts.at(i);
        const QString serial = host->device().serialNo;
        const QString shown = h.window->cellText(host, BenchWindow::ProcedureColumn);
        QVERIFY2(shown.startsWith(ends.at(i)), qPrintable(serial + QLatin1String(": ") + shown));
        const QStringList events = recorded(h, serial);
        // The panels only read: a command with an argument is a write of the procedure.
        if (shown.startsWith(QLatin1String("refused")) || checkOnly) {
            for (const QByteArray &command : h.sims.at(i)->receivedCommands())
                QVERIFY2(!command.trimmed().contains(' '), command.constData());
        }
        if (shown.startsWith(QLatin1String("refused"))) {
            // Refused before a procedure: nothing sent beyond the polls, nothing recorded.
            QVERIFY2(events.isEmpty(), qPrintable(events.join(QLatin1Char('|'))));
            continue;
        }
        // Each device has its own event with its own result.
        const char *outcome = ends.at(i) == QLatin1String("PASS")   ? RecordSchema::kOutcomePass
                              : ends.at(i) == QLatin1String("FAIL") ? RecordSchema::kOutcomeFail
                                                                    : RecordSchema::kOutcomeIncomplete;
        QCOMPARE(events,
                 QStringList{QStringLiteral("action %1 %2").arg(RecordSchema::kSettingGuided, outcome)});
        QCOMPARE(run->report(host)->serial, serial);
        if (ends.at(i) == QLatin1String("PASS")) {
            const ReportPoint point = run->report(host)->points.first();
            QVERIFY(point.adjusted && point.asLeft.taken);
            QVERIFY(qAbs(point.asLeft.value - kReference) <= kTolerance);
        }
        QVERIFY(!host->panel()->isProcedureRunning());
    }
    // One certificate per passed device, named by its number.
    QTemporaryDir folder;
    const QStringList lines = run->saveCertificates(folder.path());
    QCOMPARE(lines.size(), ends.count(QStringLiteral("PASS")));
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*.pdf")}).size(), lines.size());
}

void TestBenchMany::writeSetting_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("word");
    // Every registered model with its first writable setting, the second device silent to it.
    for (int model : ModelTable::models()) {
        const QStringList words = BenchSettingWrite::writableWords(model);
        if (!words.isEmpty())
            QTest::newRow(qPrintable(DeviceModels::name(model))) << model << words.first();
    }
}

void TestBenchMany::writeSetting()
{
    QFETCH(int, model);
    QFETCH(QString, word);
    BenchHarness h;
    const QString name = DeviceModels::name(model);
    const QList<DeviceHost *> hosts = openDevices(h, {name, name, name}, 0);
    QCOMPARE(hosts.size(), 3);
    const ModelTable::Setting *setting = ModelTable::setting(model, hosts.first()->identity().firmware, word);
    QVERIFY(setting);
    // A value other than the one held, so that a write that did nothing is not confirmed.
    const double held = h.sims.first()->setting(word).toDouble();
    const QString value = QString::number(held == setting->min ? setting->max : setting->min);
    h.sims.at(1)->setSilentWords({word.toLatin1()});
    BenchSettingWrite *write = h.window->settingWrite();
    write->setPacing(0, 400);
    QVERIFY2(write->start(hosts, word, value), qPrintable(write->errorString()));
    QVERIFY(QTest::qWaitFor([&] { return !write->isRunning(); }, 8000));
    const QList<BenchSettingWrite::Outcome> expected{BenchSettingWrite::Outcome::Confirmed,
                                                     BenchSettingWrite::Outcome::NoReply,
                                                     BenchSettingWrite::Outcome::Confirmed};
    for (int i = 0; i < hosts.size(); ++i) {
        DeviceHost *host = hosts.at(i);
        QCOMPARE(write->outcome(host), expected.at(i));
        QCOMPARE(h.window->cellText(host, BenchWindow::ProcedureColumn), write->stateText(host));
        const QStringList events = recorded(h, host->device().serialNo);
        if (i == 1) {
            QVERIFY(events.isEmpty()); // no value read: nothing was written
            continue;
        }
        QCOMPARE(events,
                 QStringList{QStringLiteral("write %1 %2").arg(word, RecordSchema::kOutcomeConfirmed)});
        QCOMPARE(h.sims.at(i)->setting(word).toDouble(), value.toDouble());
    }
}

void TestBenchMany::writeSetting_mixedModelsRefused()
{
    BenchHarness h;
    const QList<DeviceHost *> hosts = openDevices(h, {"TQ21", "TQ24"}, 0);
    QCOMPARE(hosts.size(), 2);
    BenchSettingWrite *write = h.window->settingWrite();
    QVERIFY(
        !write->start(hosts, BenchSettingWrite::writableWords(hosts.first()->identity().model).first(), "1"));
    QVERIFY2(write->errorString().contains(QLatin1String("TQ21, TQ24")), qPrintable(write->errorString()));
    QVERIFY(write->hosts().isEmpty());
    for (DeviceHost *host : hosts)
        QVERIFY(recorded(h, host->device().serialNo).isEmpty());
}

QTEST_MAIN(TestBenchMany)
#include "tst_benchmany.moc"
