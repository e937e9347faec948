#include "tqcal/commands.h"

#include "device/commandset.h"
#include "device/devicemodels.h"
#include "device/modeltable.h"
#include "records/calibrationjournal.h"
#include "records/calibrationrecord.h"
#include "records/recordschema.h"
#include "tqcal/console.h"
#include "tqcal/devicelink.h"
#include "tqcal/exitcode.h"
#include "tqcal/recorder.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace {

bool anyModel(const std::function<bool(const ModelTable::Model &)> &has)
{
    for (int model : DeviceModels::all()) {
        const ModelTable::Model *table = ModelTable::find(model);
        if (table && has(*table))
            return true;
    }
    return false;
}

bool anyModelHasSetting(const QString &word)
{
    return anyModel([&](const ModelTable::Model &m) {
        return std::any_of(m.settings.begin(), m.settings.end(),
                           [&](const ModelTable::Setting &s) { return word == QLatin1String(s.word); });
    });
}

bool anyModelHasAction(const QString &word)
{
    return anyModel([&](const ModelTable::Model &m) {
        return std::any_of(m.actions.begin(), m.actions.end(),
                           [&](const ModelTable::Action &a) { return word == QLatin1String(a.word); });
    });
}

// The same value in the device's words: numbers compare as numbers ("2.5" is "2.50"); a span
// calibration's reply starts with the concentration written.
bool sameValue(const QString &written, const QString &reply)
{
    const QString first = reply.section(QLatin1Char(','), 0, 0);
    const std::optional<double> a = Cmd::number(written);
    const std::optional<double> b = Cmd::number(first);
    return a && b ? *a == *b : written == first;
}

const char *outcomeOf(const DeviceLink &link, const DeviceLink::Answer &answer)
{
    if (link.isLost())
        return RecordSchema::kOutcomePortLost;
    switch (answer.error) {
    case DeviceReply::NoError:
        return RecordSchema::kOutcomeConfirmed;
    case DeviceReply::NoAnswer:
        return RecordSchema::kOutcomeNoReply;
    case DeviceReply::WriteFailed:
        return RecordSchema::kOutcomeFailedWrite;
    case DeviceReply::Closed:
        return RecordSchema::kOutcomePortLost;
    default:
        return RecordSchema::kOutcomeRejected;
    }
}

// A command that failed on the wire is recorded with how it failed.
int failRecorded(DeviceLink &link, const QString &what, const DeviceLink::Answer &answer,
                 CalibrationJournal &journal)
{
    const int code = link.failWith(what, answer);
    journal.endWrite(outcomeOf(link, answer));
    Console::message(link.failure());
    return code;
}

QString rangeText(const ModelTable::Setting &setting)
{
    return QStringLiteral("%1 to %2").arg(setting.min, 0, 'g', 12).arg(setting.max, 0, 'g', 12);
}

} // namespace

// A value is checked before the port is opened where it can be: a text that is no number or a
// word no model has never reaches a device.
int runSet(const Invocation &invocation)
{
    const QString word = invocation.words.at(0).toUpper();
    const QString value = invocation.words.at(1).trimmed();
    const std::optional<double> number = Cmd::number(value);
    if (!number)
        return refuse(QStringLiteral("\"%1\" is not a number; nothing was sent").arg(value));
    if (!anyModelHasSetting(word))
        return refuse(QStringLiteral("no model has a setting %1; nothing was sent").arg(word));
    DeviceLink link(invocation.timeoutMs);
    if (const int code = connectTarget(invocation, link))
        return code;
    const DeviceIdentity id = link.identity();
    const ModelTable::Setting *setting = ModelTable::setting(id.model, id.firmware, word);
    QString refusal;
    if (!setting)
        refusal = QStringLiteral("%1 %2 has no setting %3").arg(link.modelName(), link.firmwareText(), word);
    else if (!setting->writable)
        refusal = QStringLiteral("%1 is read only").arg(word);
    const QString written = setting ? ModelTable::formatValue(*setting, value) : QString();
    if (refusal.isEmpty() && written.isEmpty()) {
        refusal =
            *number < setting->min || *number > setting->max
                ? QStringLiteral("%1 is outside the range of %2, %3").arg(value, word, rangeText(*setting))
                : QStringLiteral("%1 takes a whole number, not %2").arg(word, value);
    }
    if (!refusal.isEmpty())
        return refuse(refusal + QLatin1String("; nothing was written"));

    const DeviceLink::Answer before = link.ask(DeviceRequest::query(word));
    if (!before.ok()) {
        const int code = link.failWith(word, before);
        Console::message(link.failure() + QLatin1String("; nothing was written"));
        return code;
    }
    Recorder recorder(id);
    CalibrationJournal &journal = recorder.journal();
    journal.valueRead(word, before.value);
    journal.beginWrite(word, word + QLatin1Char(' ') + written);
    const DeviceLink::Answer after = link.ask(DeviceRequest::write(word, written));
    if (!after.ok())
        return failRecorded(link, word + QLatin1Char(' ') + written, after, journal);
    const bool confirmed = sameValue(written, after.value);
    journal.endWrite(confirmed ? RecordSchema::kOutcomeConfirmed : RecordSchema::kOutcomeRejected,
                     after.value);
    Console::data(word + QLatin1Char(' ') + after.value);
    if (!confirmed) {
        Console::message(QStringLiteral("%1 not confirmed: written %2, the device kept %3")
                             .arg(word, written, after.value));
        return ExitCode::NotConfirmed;
    }
    return ExitCode::Done;
}

int runDo(const Invocation &invocation)
{
    const QString word = invocation.words.at(0).toUpper();
    if (!anyModelHasAction(word))
        return refuse(QStringLiteral("no model has an action %1; nothing was sent").arg(word));
    if (!invocation.yes && !Console::isInteractive())
        return refuse(QStringLiteral("%1 not run: without a terminal to ask on, give --yes").arg(word));
    DeviceLink link(invocation.timeoutMs);
    if (const int code = connectTarget(invocation, link))
        return code;
    const DeviceIdentity id = link.identity();
    const ModelTable::Action *action = ModelTable::action(id.model, id.firmware, word);
    if (!action)
        return refuse(QStringLiteral("%1 %2 has no action %3; nothing was sent")
                          .arg(link.modelName(), link.firmwareText(), word));
    if (!invocation.yes &&
        !Console::askYes(
            QStringLiteral("Run %1 on %2 %3 (%4)?").arg(word, link.modelName(), id.serial, id.port)))
        return refuse(QStringLiteral("%1 not run").arg(word));

    Recorder recorder(id);
    CalibrationJournal &journal = recorder.journal();
    journal.beginWrite(word, word);
    const DeviceLink::Answer answer = link.ask(DeviceRequest::query(word));
    if (!answer.ok())
        return failRecorded(link, word, answer, journal);
    const bool taken = action->answersValue ? Cmd::number(answer.value).has_value()
                                            : answer.value.contains(QLatin1String("OK"));
    if (taken && action->refreshAfter)
        journal.refreshFollows();
    journal.endWrite(taken ? RecordSchema::kOutcomeConfirmed : RecordSchema::kOutcomeRejected, answer.value);
    if (!taken) {
        Console::message(QStringLiteral("%1: refused by the device: %2").arg(word, answer.line));
        return ExitCode::Refused;
    }
    Console::data(word + QLatin1Char(' ') + answer.value);
    if (!action->refreshAfter)
        return ExitCode::Done;
    // What the action changed is read back and kept with it, as the window does.
    WordValues values;
    journal.refreshStarted();
    const int code = readWords(link, ModelTable::refreshWords(id.model, id.firmware), &values, true);
    for (const auto &value : values)
        journal.valueRead(value.first, value.second);
    if (code == ExitCode::Done)
        journal.refreshCompleted();
    return code;
}
