#include "tqcal/invocation.h"

#include <QHash>
#include <QSet>

namespace {

struct CommandRule
{
    int minWords;
    int maxWords; // -1: any number
    bool target;
    QSet<QString> options;
};

const QHash<QString, CommandRule> &rules()
{
    static const QHash<QString, CommandRule> table = {
        {QStringLiteral("list"), {0, 0, false, {QStringLiteral("json")}}},
        {QStringLiteral("info"), {0, 0, true, {QStringLiteral("json")}}},
        {QStringLiteral("get"), {1, -1, true, {QStringLiteral("json")}}},
        {QStringLiteral("set"), {2, 2, true, {}}},
        {QStringLiteral("do"), {1, 1, true, {QStringLiteral("yes")}}},
        {QStringLiteral("watch"),
         {0, 0, true, {QStringLiteral("count"), QStringLiteral("interval"), QStringLiteral("format")}}},
        {QStringLiteral("records"),
         {1,
          1,
          false,
          {QStringLiteral("json"), QStringLiteral("within"), QStringLiteral("format"),
           QStringLiteral("serial")}}},
    };
    return table;
}

bool takesValue(const QString &name)
{
    static const QSet<QString> valued = {QStringLiteral("port"),   QStringLiteral("serial"),
                                         QStringLiteral("count"),  QStringLiteral("interval"),
                                         QStringLiteral("format"), QStringLiteral("timeout"),
                                         QStringLiteral("within")};
    return valued.contains(name);
}

bool isOption(const QString &argument)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2)
        return false;
    const QChar next = argument.at(1);
    return !(next.isDigit() || next == QLatin1Char('.'));
}

bool readCount(const QString &text, int min, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min)
        return false;
    *out = value;
    return true;
}

QString applyOption(Invocation &inv, const QString &name, const QString &value)
{
    if (name == QLatin1String("port"))
        inv.port = value;
    else if (name == QLatin1String("serial"))
        inv.serial = value;
    else if (name == QLatin1String("json"))
        inv.json = true;
    else if (name == QLatin1String("yes"))
        inv.yes = true;
    else if (name == QLatin1String("count") && !readCount(value, 1, &inv.count))
        return QStringLiteral("--count wants a whole number from 1 on, not \"%1\"").arg(value);
    else if (name == QLatin1String("interval") && !readCount(value, 10, &inv.intervalMs))
        return QStringLiteral("--interval wants milliseconds from 10 on, not \"%1\"").arg(value);
    else if (name == QLatin1String("within") && !readCount(value, 0, &inv.withinDays))
        return QStringLiteral("--within wants a number of days from 0 on, not \"%1\"").arg(value);
    else if (name == QLatin1String("timeout") && !readCount(value, 1, &inv.timeoutMs))
        return QStringLiteral("--timeout wants milliseconds from 1 on, not \"%1\"").arg(value);
    else if (name == QLatin1String("format")) {
        if (value != QLatin1String("text") && value != QLatin1String("csv") && value != QLatin1String("json"))
            return QStringLiteral("--format is text, csv or json, not \"%1\"").arg(value);
        inv.format = value;
    }
    return QString();
}

QString checkCommand(const Invocation &inv, const QStringList &given)
{
    const auto rule = rules().constFind(inv.command);
    if (rule == rules().constEnd())
        return QStringLiteral("unknown command \"%1\"").arg(inv.command);
    for (const QString &name : given) {
        const bool targetOption = name == QLatin1String("port") || name == QLatin1String("serial");
        const bool allowed = rule->options.contains(name) || (targetOption && rule->target) ||
                             name == QLatin1String("timeout");
        if (!allowed)
            return QStringLiteral("%1 takes no --%2").arg(inv.command, name);
    }
    if (rule->target && !inv.hasTarget())
        return QStringLiteral("%1 needs a target: --port PATH or --serial TEXT").arg(inv.command);
    if (!inv.port.isEmpty() && !inv.serial.isEmpty())
        return QStringLiteral("give --port or --serial, not both");
    const int words = inv.words.size();
    if (words < rule->minWords || (rule->maxWords >= 0 && words > rule->maxWords)) {
        static const QHash<QString, QString> shapes = {
            {QStringLiteral("list"), QStringLiteral("list takes no words")},
            {QStringLiteral("info"), QStringLiteral("info takes no words")},
            {QStringLiteral("get"), QStringLiteral("get wants one word or more")},
            {QStringLiteral("set"), QStringLiteral("set wants a WORD and a VALUE")},
            {QStringLiteral("do"), QStringLiteral("do wants one ACTION")},
            {QStringLiteral("watch"), QStringLiteral("watch takes no words")},
            {QStringLiteral("records"), QStringLiteral("records wants sync, due or export")},
        };
        return shapes.value(inv.command);
    }
    return QString();
}

} // namespace

ParsedArguments parseArguments(const QStringList &arguments)
{
    ParsedArguments parsed;
    Invocation &inv = parsed.invocation;
    QStringList given;
    bool optionsEnd = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments.at(i);
        if (optionsEnd || !isOption(argument)) {
            if (inv.command.isEmpty())
                inv.command = argument;
            else
                inv.words.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            inv.help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            inv.version = true;
            continue;
        }
        QString name = argument.mid(2);
        QString value;
        const int equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        static const QSet<QString> known = {QStringLiteral("json"), QStringLiteral("yes")};
        if (!argument.startsWith(QLatin1String("--")) || (!takesValue(name) && !known.contains(name))) {
            parsed.error = QStringLiteral("unknown option \"%1\"").arg(argument);
            return parsed;
        }
        if (takesValue(name) && equals < 0) {
            if (i + 1 >= arguments.size()) {
                parsed.error = QStringLiteral("--%1 wants a value").arg(name);
                return parsed;
            }
            value = arguments.at(++i);
        }
        parsed.error = applyOption(inv, name, value);
        if (!parsed.error.isEmpty())
            return parsed;
        given.append(name);
    }
    if (inv.help || inv.version)
        return parsed;
    if (inv.command.isEmpty()) {
        parsed.error = QStringLiteral("no command given");
        return parsed;
    }
    parsed.error = checkCommand(inv, given);
    return parsed;
}

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  tqcal list  [--json]\n"
        "  tqcal info  TARGET [--json]\n"
        "  tqcal get   TARGET WORD... [--json]\n"
        "  tqcal set   TARGET WORD VALUE\n"
        "  tqcal do    TARGET ACTION [--yes]\n"
        "  tqcal watch TARGET [--count N] [--interval MS] [--format text|csv|json]\n"
        "  tqcal records sync\n"
        "  tqcal records due [--json] [--within DAYS]\n"
        "  tqcal records export [--serial TEXT] [--format csv|json]\n"
        "TARGET is --port PATH or --serial TEXT. Every command takes --timeout MS (the wait for each\n"
        "reply, default 10000).\n"
        "Exit codes: 0 done, 1 check failed, 2 usage error or refused input, 3 not confirmed,\n"
        "4 refused by the device, 5 no answer in time (records sync: the lab database cannot be\n"
        "reached), 6 no such device or port not opened.\n"
        "See tqcal(1).\n");
}
