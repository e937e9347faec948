#include "tqcal/commands.h"

#include "device/modeltable.h"
#include "tqcal/console.h"
#include "tqcal/devicelink.h"
#include "tqcal/exitcode.h"

#include "app/discovery/devicescan.h"

#include <functional>

namespace {

QString identityJson(const DeviceLink &link, const Dev_info &device, bool identified)
{
    JsonObjectText object;
    object.add(QStringLiteral("port"), device.port).add(QStringLiteral("serial"), device.serialNo);
    object.add(QStringLiteral("model"), identified ? link.modelName() : QString());
    object.add(QStringLiteral("firmware"), identified ? link.firmwareText() : QString());
    return object.text();
}

} // namespace

int connectTarget(const Invocation &invocation, DeviceLink &link)
{
    const FoundDevice found = findDevice(invocation.port, invocation.serial);
    if (found.code != ExitCode::Done) {
        Console::message(found.message);
        return found.code;
    }
    if (!link.connectTo(found.device)) {
        Console::message(link.failure());
        return link.failureCode();
    }
    return ExitCode::Done;
}

int refuse(const QString &text)
{
    Console::message(text);
    return ExitCode::Usage;
}

int readWords(DeviceLink &link, const QStringList &words, WordValues *values, bool printLines)
{
    for (const QString &word : words) {
        const DeviceLink::Answer answer = link.ask(DeviceRequest::query(word));
        if (!answer.ok()) {
            const int code = link.failWith(word, answer);
            Console::message(link.failure());
            return code;
        }
        values->append({word, answer.value});
        if (printLines)
            Console::data(word + QLatin1Char(' ') + answer.value);
    }
    return ExitCode::Done;
}

QString valuesJson(const WordValues &values)
{
    JsonObjectText object;
    for (const auto &value : values)
        object.add(value.first, value.second);
    return object.text();
}

// Every device is opened and identified in turn; one that fails is still listed, without model,
// and the exit code tells of the first failure.
int runList(const Invocation &invocation)
{
    int result = ExitCode::Done;
    QStringList objects;
    for (const Dev_info &device : scanDevices()) {
        DeviceLink link(invocation.timeoutMs);
        const bool identified = link.connectTo(device);
        if (!identified) {
            Console::message(link.failure());
            if (result == ExitCode::Done)
                result = link.failureCode();
        }
        if (invocation.json) {
            objects.append(identityJson(link, device, identified));
        } else {
            Console::data(QStringList{device.port, device.serialNo,
                                      identified ? link.modelName() : QStringLiteral("-"),
                                      identified ? link.firmwareText() : QStringLiteral("-")}
                              .join(QLatin1Char(' ')));
        }
    }
    if (invocation.json)
        Console::data(QLatin1Char('[') + objects.join(QLatin1String(", ")) + QLatin1Char(']'));
    return result;
}

namespace {

// Connects, reads the words `pick` chooses for the device (or refuses with its text), prints them;
// info's JSON wraps them in the device's identity.
int readSettings(const Invocation &invocation, bool identityInJson,
                 const std::function<QString(const DeviceIdentity &, QStringList *)> &pick)
{
    DeviceLink link(invocation.timeoutMs);
    if (const int code = connectTarget(invocation, link))
        return code;
    const DeviceIdentity id = link.identity();
    QStringList words;
    const QString refusal = pick(id, &words);
    if (!refusal.isEmpty())
        return refuse(QStringLiteral("%1 %2 %3").arg(link.modelName(), link.firmwareText(), refusal));
    WordValues values;
    if (const int code = readWords(link, words, &values, !invocation.json))
        return code;
    if (!invocation.json)
        return ExitCode::Done;
    if (!identityInJson) {
        Console::data(valuesJson(values));
        return ExitCode::Done;
    }
    JsonObjectText object;
    object.add(QStringLiteral("port"), id.port).add(QStringLiteral("serial"), id.serial);
    object.add(QStringLiteral("model"), link.modelName())
        .add(QStringLiteral("firmware"), link.firmwareText());
    object.addRaw(QStringLiteral("settings"), valuesJson(values));
    Console::data(object.text());
    return ExitCode::Done;
}

} // namespace

int runInfo(const Invocation &invocation)
{
    return readSettings(invocation, true, [](const DeviceIdentity &id, QStringList *words) {
        *words = ModelTable::refreshWords(id.model, id.firmware);
        return QString();
    });
}

// Only settings are queried: the word of an action runs it.
int runGet(const Invocation &invocation)
{
    return readSettings(invocation, false, [&](const DeviceIdentity &id, QStringList *words) {
        for (const QString &given : invocation.words) {
            const QString word = given.toUpper();
            if (!ModelTable::setting(id.model, id.firmware, word))
                return QStringLiteral("has no setting %1").arg(given);
            words->append(word);
        }
        return QString();
    });
}
