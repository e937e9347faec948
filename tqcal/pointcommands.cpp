#include "tqcal/commands.h"

#include "device/adjustment.h"
#include "device/devicemodels.h"
#include "device/modeltable.h"
#include "device/procedure.h"
#include "device/stabilitydefaults.h"
#include "device/stabilitysettings.h"
#include "records/calibrationjournal.h"
#include "records/calibrationrecord.h"
#include "records/certificate.h"
#include "records/procedurereport.h"
#include "records/recordschema.h"
#include "tqcal/console.h"
#include "tqcal/devicelink.h"
#include "tqcal/exitcode.h"
#include "tqcal/interruption.h"
#include "tqcal/recorder.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>
#include <QtMath>

#include <cmath>
#include <iostream>
#include <string>

namespace {

const int kProgressMs = 10000; // a settling line on stderr this often, so a long wait shows life

// How a reading is written: one decimal more than the channel resolves, so a mean of readings
// one step apart is not rounded back onto either.
struct Units
{
    QString name; // "gas"
    QString unit; // "ppm"
    int decimals = 2;

    QString amount(double value, bool sign = false) const
    {
        QString text = QString::number(value, 'f', decimals);
        if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0)
            text.remove(0, 1); // no "-0.000" for a slope that rounds to nothing
        return (sign && value >= 0 ? QStringLiteral("+") : QString()) + text +
               (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
    }
};

Units unitsOf(const ModelTable::FieldUnit &unit, const StabilityDefaults::Channel &row)
{
    Units u;
    u.name = QString::fromUtf8(unit.name);
    u.unit = QString::fromUtf8(unit.unit);
    u.decimals = qBound(0, int(qCeil(-std::log10(row.resolution) - 1e-9)) + 1, 6);
    return u;
}

// The unit the channel shows now. Where the model lets it be chosen, the settings that choose it
// are asked of the device one at a time, as many as it takes; a reading in a unit the tool would
// only guess at is no basis for a verdict, so one that cannot be told refuses the command.
int readUnit(DeviceLink &link, int channel, int field, ModelTable::FieldUnit *unit)
{
    const DeviceIdentity id = link.identity();
    QHash<QString, QString> values;
    QStringList read; // "ATCCU 7", for the message
    for (;;) {
        const ModelTable::UnitLookup lookup = ModelTable::unitInForce(id.model, id.firmware, field, values);
        if (lookup.unit) {
            *unit = *lookup.unit;
            return ExitCode::Done;
        }
        if (lookup.nextWord.isEmpty()) {
            return refuse(
                QStringLiteral("the unit of %1 channel %2 cannot be told from %3; nothing was written")
                    .arg(link.modelName())
                    .arg(channel)
                    .arg(read.isEmpty() ? QStringLiteral("its settings") : read.join(", ")));
        }
        WordValues answer;
        if (const int code = readWords(link, {lookup.nextWord}, &answer, false)) {
            if (link.isLost())
                return code;
            return refuse(
                QStringLiteral("the unit of %1 channel %2 cannot be told without %3; nothing was written")
                    .arg(link.modelName())
                    .arg(channel)
                    .arg(lookup.nextWord));
        }
        values.insert(lookup.nextWord, answer.value(0).second);
        read.append(lookup.nextWord + QLatin1Char(' ') + answer.value(0).second.trimmed());
    }
}

QString figuresText(const Stability::Figures &f, const Stability::Limits &limits, const Units &u)
{
    const Units slope{u.name, u.unit + QStringLiteral("/min"), u.decimals + 1};
    const Units sd{u.name, u.unit, u.decimals + 1};
    return QStringLiteral("slope %1 (limit %2), SD %3 (limit %4), %5 readings")
        .arg(slope.amount(f.slopePerMinute, true), slope.amount(limits.maxSlope), sd.amount(f.sd),
             sd.amount(limits.maxSd))
        .arg(f.count);
}

void printReading(const QString &label, const ProcedureReading &r, const Procedure &p, const Units &u)
{
    Console::data(QStringLiteral("%1: reading %2, error %3, %4: %5")
                      .arg(label, u.amount(r.value), u.amount(r.error, true),
                           r.stable ? QStringLiteral("stable") : QStringLiteral("NOT stable"),
                           figuresText(r.figures, p.point().limits, u)));
}

QString settingName(const QString &word)
{
    if (word == QLatin1String("ATCCSP"))
        return QStringLiteral("Span calibration");
    if (word == QLatin1String("ATCCZR"))
        return QStringLiteral("Zero calibration");
    if (word == QLatin1String("ATCCAL"))
        return QStringLiteral("CO2 calibration");
    if (word == QLatin1String("ATCUCAL"))
        return QStringLiteral("Clean-air calibration");
    if (word == QLatin1String("ATCEXTM"))
        return QStringLiteral("Last calibration time");
    return word; // an offset: the journal names it by its word, as the panels' writes
}

// The procedure as the record and the certificate keep it.
ProcedureReport reportOf(const Procedure &p, const Invocation &inv, const Units &u, const DeviceIdentity &id,
                         const QStringList &liveFields)
{
    ProcedureReport report = ProcedureReport::started();
    report.model = CalibrationRecord::modelName(id.model);
    report.serial = id.serial;
    report.firmware = id.versionText;
    report.method = methodName(id.model, id.firmware, p.point());
    report.checkOnly = p.point().checkOnly;
    ReferenceGas gas;
    gas.gas = p.point().reference == 0 ? QStringLiteral("zero gas") : u.name;
    gas.concentration = p.point().reference;
    gas.unit = u.unit;
    gas.lot = inv.gasLot;
    gas.expiry = inv.gasExpiry;
    report.gases.append(gas);
    report.setTemperatureFrom(id.model, liveFields);
    report.points.append(reportPoint(p, u.name, u.unit));
    report.conclude();
    return report;
}

// Each write the procedure made, with what became of it, as the journal keeps every write; then
// the procedure as one event, so a refused or timed-out calibration, which writes nothing, is on
// record too.
void record(const Procedure &p, const ProcedureReport &report, const DeviceIdentity &id)
{
    Recorder recorder(id);
    CalibrationJournal &journal = recorder.journal();
    const QStringList writes = p.writes();
    const QStringList replies = p.writeReplies();
    for (int i = 0; i < writes.size(); ++i) {
        const QString word = writes.at(i).section(QLatin1Char(' '), 0, 0);
        const QString reply = replies.value(i);
        const bool stamp = word == QLatin1String("ATCEXTM");
        const bool taken = stamp ? p.step() == Procedure::Step::Passed && p.reason().isEmpty() : p.adjusted();
        const char *outcome = RecordSchema::kOutcomeRejected;
        if (taken)
            outcome = RecordSchema::kOutcomeConfirmed;
        else if (p.step() == Procedure::Step::Unplugged)
            outcome = RecordSchema::kOutcomePortLost;
        else if (reply.isNull())
            outcome = RecordSchema::kOutcomeNoReply;
        journal.beginWrite(settingName(word), writes.at(i));
        journal.endWrite(outcome, reply);
    }
    recorder.append(report.toEvent());
}

// A certificate for a complete calibration; an incomplete one gets none. The exit code when it
// cannot be written, 0 otherwise.
int writeCertificate(const QString &path, const ProcedureReport &report)
{
    if (!report.isComplete()) {
        Console::message(QStringLiteral("no certificate: the calibration is incomplete"));
        return ExitCode::Done;
    }
    Certificate certificate(report);
    if (!certificate.write(path)) {
        Console::message(QStringLiteral("certificate not written: %1").arg(certificate.errorString()));
        return ExitCode::Usage;
    }
    Console::data(QStringLiteral("certificate %1: %2").arg(certificate.number(), path));
    return ExitCode::Done;
}

int exitCodeOf(Procedure::Step step)
{
    switch (step) {
    case Procedure::Step::Passed:
        return ExitCode::Done;
    case Procedure::Step::Failed:
        return ExitCode::CheckFailed;
    case Procedure::Step::Refused:
        return ExitCode::Usage;
    case Procedure::Step::TimedOut:
        return ExitCode::NoAnswer;
    default:
        return ExitCode::NoDevice; // unplugged; an abort comes from a signal, see runPoint
    }
}

ProcedurePoint pointOf(const Invocation &inv, const StabilityDefaults::Channel &row,
                       const ModelTable::FieldUnit &unit, bool checkOnly)
{
    ProcedurePoint point;
    point.unit = QString::fromUtf8(unit.unit);
    point.offsetScale = unit.offsetScale;
    point.channel = inv.channel;
    point.reference = inv.zero ? 0.0 : inv.reference.value_or(0.0);
    point.tolerance = inv.tolerancePercent ? inv.tolerance / 100.0 * qAbs(point.reference) : inv.tolerance;
    point.checkOnly = checkOnly;
    point.gasExpiry = inv.gasExpiry;
    point.limits = StabilityDefaults::limits(row, point.reference);
    point.limits.dwellS = inv.dwellS.value_or(point.limits.dwellS);
    point.limits.windowS = inv.windowS.value_or(point.limits.windowS);
    point.limits.maxSlope = inv.maxSlope.value_or(point.limits.maxSlope);
    point.limits.maxSd = inv.maxSd.value_or(point.limits.maxSd);
    point.timeoutS = inv.stableTimeoutS.value_or(row.timeoutS);
    return point;
}

// Step by step on stderr, the data on stdout once the reading is taken.
void follow(Procedure &procedure, const Units &u, QTimer &progress)
{
    QObject::connect(
        &procedure, &Procedure::stepChanged, &procedure, [&procedure, &u, &progress](Procedure::Step step) {
            const ProcedurePoint point = procedure.point();
            switch (step) {
            case Procedure::Step::WaitingForStable:
            case Procedure::Step::WaitingAfterAdjust:
                Console::message(
                    QStringLiteral("%1: waiting for a stable reading (dwell %2 s, time-out %3 s)")
                        .arg(step == Procedure::Step::WaitingForStable
                                 ? QStringLiteral("settling")
                                 : QStringLiteral("after the adjustment"))
                        .arg(point.limits.dwellS)
                        .arg(point.timeoutS));
                progress.start();
                break;
            case Procedure::Step::AsFound:
                progress.stop();
                printReading(QStringLiteral("as found"), procedure.asFound(), procedure, u);
                break;
            case Procedure::Step::Adjusting:
                Console::message(QStringLiteral("adjusting"));
                break;
            case Procedure::Step::AsLeft:
                progress.stop();
                Console::data(QStringLiteral("adjusted: %1").arg(procedure.writes().value(0)));
                printReading(QStringLiteral("as left"), procedure.asLeft(), procedure, u);
                break;
            default:
                break;
            }
        });
    QObject::connect(&progress, &QTimer::timeout, &procedure, [&procedure, &u] {
        const StabilityTracker &t = procedure.tracker();
        const Stability::Figures f = t.figures();
        Console::message(QStringLiteral("settling: %1, %2, %3 s")
                             .arg(u.amount(f.mean), figuresText(f, t.limits(), u))
                             .arg(int(t.elapsed())));
    });
}

void printVerdict(const Procedure &p, const Units &u)
{
    const ProcedurePoint point = p.point();
    switch (p.step()) {
    case Procedure::Step::Passed:
    case Procedure::Step::Failed:
        if (p.step() == Procedure::Step::Failed && !p.reason().isEmpty())
            Console::message(p.reason());
        Console::data(QStringLiteral("decision rule: %1 (%2)")
                          .arg(Procedure::decisionRule(), u.amount(point.tolerance)));
        if (!p.reason().isEmpty() && p.step() == Procedure::Step::Passed)
            Console::message(p.reason());
        Console::data(p.step() == Procedure::Step::Passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
        break;
    case Procedure::Step::Refused:
        Console::message(p.reason() + QStringLiteral("; nothing was written"));
        break;
    case Procedure::Step::TimedOut: {
        const Stability::Figures f = p.tracker().figures();
        Console::message(QStringLiteral("%1: last %2, %3")
                             .arg(p.reason(), u.amount(f.mean), figuresText(f, point.limits, u)));
        break;
    }
    default:
        Console::message(QStringLiteral("%1; incomplete, written: %2")
                             .arg(p.reason(), p.writes().isEmpty() ? QStringLiteral("nothing")
                                                                   : p.writes().join(QLatin1String(", "))));
        break;
    }
}

int runPoint(const Invocation &inv, bool checkOnly)
{
    if (!checkOnly && !inv.yes && !Console::isInteractive())
        return refuse(QStringLiteral("calibrate not run: without a terminal to ask on, give --yes"));
    if (!inv.certificate.isEmpty() && !QFileInfo(inv.certificate).absoluteDir().exists())
        return refuse(QStringLiteral("no folder %1 for the certificate; nothing was sent")
                          .arg(QFileInfo(inv.certificate).absolutePath()));
    DeviceLink link(inv.timeoutMs);
    if (const int code = connectTarget(inv, link))
        return code;
    const DeviceIdentity id = link.identity();
    // The limits as the window's settings file keeps them, so a technician's edits count here too.
    QSettings settings;
    const StabilitySettings::Table table = StabilitySettings::load(settings);
    for (const QString &warning : table.warnings())
        Console::message(warning);
    const StabilityDefaults::Channel *channel = table.find(id.model, inv.channel);
    if (!channel)
        return refuse(QStringLiteral("%1 has no channel %2").arg(link.modelName()).arg(inv.channel));
    ModelTable::FieldUnit unit;
    if (const int code = readUnit(link, inv.channel, channel->field, &unit))
        return code;
    const StabilityDefaults::Channel *row = table.find(id.model, inv.channel, QString::fromUtf8(unit.unit));
    if (!row)
        return refuse(QStringLiteral("%1 channel %2 in %3 has no stability limits; nothing was written")
                          .arg(link.modelName())
                          .arg(inv.channel)
                          .arg(QString::fromUtf8(unit.unit)));
    const Units u = unitsOf(unit, *row);
    const ProcedurePoint point = pointOf(inv, *row, unit, checkOnly);
    Console::data(QStringLiteral("%1 %2 channel %3 (%4, %5)")
                      .arg(link.modelName(), id.serial)
                      .arg(point.channel)
                      .arg(u.name, u.unit));
    Console::data(QStringLiteral("reference %1, tolerance %2")
                      .arg(u.amount(point.reference), u.amount(point.tolerance)));

    DeviceSession &session = link.session();
    Procedure procedure(&session, point);
    QTimer progress;
    progress.setInterval(kProgressMs);
    follow(procedure, u, progress);
    QStringList liveFields; // the last live line, for the temperature the report keeps
    QObject::connect(&session, &DeviceSession::liveSample, &procedure,
                     [&liveFields](const LiveSample &sample) { liveFields = sample.fields; });
    procedure.start();
    if (!checkOnly && !inv.yes && !procedure.isFinished()) {
        Console::message(QStringLiteral("apply the reference gas, %1, to %2 %3, then press Enter")
                             .arg(u.amount(point.reference), link.modelName(), id.serial));
        std::string line;
        if (!std::getline(std::cin, line))
            return refuse(
                QStringLiteral("calibrate not run: no answer on the terminal; nothing was written"));
    }
    QEventLoop loop;
    QObject::connect(&procedure, &Procedure::finished, &loop, &QEventLoop::quit);
    // From here a signal aborts: the record and the message below still come, the certificate not.
    Interruption interruption;
    QObject::connect(&interruption, &Interruption::interrupted, &procedure, [&procedure](int signal) {
        Console::message(QStringLiteral("interrupted by %1: aborting, nothing more is written")
                             .arg(Interruption::signalName(signal)));
        procedure.abort();
    });
    QObject::connect(&session, &DeviceSession::pollDue, &session, [&session] { session.writePoll(); });
    // A window shorter than the readings stability needs would never settle: read faster then.
    const int windowMs = int(point.limits.windowS * 1000);
    const int pollMs = qMax(100, qMin(inv.intervalMs, windowMs / (Stability::kMinSamples + 1)));
    if (pollMs != inv.intervalMs)
        Console::message(QStringLiteral("reading every %1 ms, so the %2 s window holds enough readings")
                             .arg(pollMs)
                             .arg(point.limits.windowS));
    session.setPollPeriod(pollMs);
    session.setPolling(true);
    procedure.gasApplied();
    if (!procedure.isFinished())
        loop.exec();
    session.setPolling(false);
    printVerdict(procedure, u);
    const int code = procedure.step() == Procedure::Step::Aborted
                         ? ExitCode::Interrupted + interruption.signalNumber()
                         : exitCodeOf(procedure.step());
    if (checkOnly)
        return code;
    const ProcedureReport report = reportOf(procedure, inv, u, id, liveFields);
    record(procedure, report, id);
    if (inv.certificate.isEmpty())
        return code;
    const int written = writeCertificate(inv.certificate, report);
    return written != ExitCode::Done && code <= ExitCode::CheckFailed ? written : code;
}

} // namespace

int runCheck(const Invocation &invocation)
{
    return runPoint(invocation, true);
}

int runCalibrate(const Invocation &invocation)
{
    return runPoint(invocation, false);
}
