#include "tqcal/invocation.h"

#include <QHash>
#include <QSet>

#include <cmath>

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
        {QStringLiteral("check"),
         {0,
          0,
          true,
          {QStringLiteral("reference"), QStringLiteral("channel"), QStringLiteral("tolerance"),
           QStringLiteral("dwell"), QStringLiteral("window"), QStringLiteral("max-slope"),
           QStringLiteral("max-sd"), QStringLiteral("interval")}}},
        {QStringLiteral("calibrate"),
         {0,
          0,
          true,
          {QStringLiteral("reference"), QStringLiteral("zero"), QStringLiteral("channel"),
           QStringLiteral("tolerance"), QStringLiteral("gas-lot"), QStringLiteral("gas-expiry"),
           QStringLiteral("certificate"), QStringLiteral("yes"), QStringLiteral("dwell"),
           QStringLiteral("window"), QStringLiteral("interval")}}},
    };
    return table;
}

bool takesValue(const QString &name)
{
    static const QSet<QString> valued = {
        QStringLiteral("port"),       QStringLiteral("serial"),  QStringLiteral("count"),
        QStringLiteral("interval"),   QStringLiteral("format"),  QStringLiteral("timeout"),
        QStringLiteral("reference"),  QStringLiteral("channel"), QStringLiteral("tolerance"),
        QStringLiteral("dwell"),      QStringLiteral("window"),  QStringLiteral("max-slope"),
        QStringLiteral("max-sd"),     QStringLiteral("gas-lot"), QStringLiteral("gas-expiry"),
        QStringLiteral("certificate")};
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

std::optional<double> readNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// Seconds, a slope or a standard deviation: above 0; a dwell may be 0.
QString readAmount(const QString &name, const QString &text, std::optional<double> *out)
{
    const bool dwell = name == QLatin1String("dwell");
    const std::optional<double> value = readNumber(text);
    if (!value || *value < 0 || (!dwell && *value == 0))
        return QStringLiteral("--%1 wants a number %2, not \"%3\"")
            .arg(name, dwell ? QStringLiteral("from 0 on") : QStringLiteral("above 0"), text);
    *out = value;
    return QString();
}

QString applyPointOption(Invocation &inv, const QString &name, const QString &value)
{
    if (name == QLatin1String("reference")) {
        inv.reference = readNumber(value);
        if (!inv.reference)
            return QStringLiteral("--reference wants a number, not \"%1\"").arg(value);
    } else if (name == QLatin1String("channel")) {
        if (!readCount(value, 1, &inv.channel))
            return QStringLiteral("--channel wants a channel number from 1 on, not \"%1\"").arg(value);
    } else if (name == QLatin1String("tolerance")) {
        const bool percent = value.trimmed().endsWith(QLatin1Char('%'));
        const std::optional<double> number = readNumber(percent ? value.trimmed().chopped(1) : value);
        if (!number || *number < 0)
            return QStringLiteral(
                       "--tolerance wants a number from 0 on, or a percentage such as 1%, not \"%1\"")
                .arg(value);
        inv.tolerance = *number;
        inv.tolerancePercent = percent;
        inv.toleranceText = value.trimmed();
    } else if (name == QLatin1String("dwell")) {
        return readAmount(name, value, &inv.dwellS);
    } else if (name == QLatin1String("window")) {
        return readAmount(name, value, &inv.windowS);
    } else if (name == QLatin1String("max-slope")) {
        return readAmount(name, value, &inv.maxSlope);
    } else if (name == QLatin1String("max-sd")) {
        return readAmount(name, value, &inv.maxSd);
    } else if (name == QLatin1String("gas-lot")) {
        inv.gasLot = value;
    } else if (name == QLatin1String("gas-expiry")) {
        inv.gasExpiry = QDate::fromString(value.trimmed(), Qt::ISODate);
        if (!inv.gasExpiry.isValid())
            return QStringLiteral("--gas-expiry wants a date YYYY-MM-DD, not \"%1\"").arg(value);
    } else if (name == QLatin1String("certificate")) {
        if (value.trimmed().isEmpty())
            return QStringLiteral("--certificate wants a file name");
        inv.certificate = value;
    } else if (name == QLatin1String("zero")) {
        inv.zero = true;
    }
    return QString();
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
    else if (name == QLatin1String("timeout"))
        inv.timeoutText = value; // its unit depends on the command, which may come later

    else if (name == QLatin1String("format")) {
        if (value != QLatin1String("text") && value != QLatin1String("csv") && value != QLatin1String("json"))
            return QStringLiteral("--format is text, csv or json, not \"%1\"").arg(value);
        inv.format = value;
    } else {
        return applyPointOption(inv, name, value);
    }
    return QString();
}

bool isPointCommand(const QString &command)
{
    return command == QLatin1String("check") || command == QLatin1String("calibrate");
}

// check and calibrate wait for a stable reading in seconds; every other command for a reply in ms.
QString applyTimeout(Invocation &inv)
{
    if (inv.timeoutText.isNull())
        return QString();
    if (isPointCommand(inv.command))
        return readAmount(QStringLiteral("timeout"), inv.timeoutText, &inv.stableTimeoutS).isEmpty()
                   ? QString()
                   : QStringLiteral("--timeout of %1 wants seconds above 0, not \"%2\"")
                         .arg(inv.command, inv.timeoutText);
    if (!readCount(inv.timeoutText, 1, &inv.timeoutMs))
        return QStringLiteral("--timeout wants milliseconds from 1 on, not \"%1\"").arg(inv.timeoutText);
    return QString();
}

QString checkPoint(const Invocation &inv)
{
    if (!isPointCommand(inv.command))
        return QString();
    if (inv.zero && inv.reference && *inv.reference != 0)
        return QStringLiteral("--zero is a reference of 0; it does not go with --reference %1")
            .arg(*inv.reference);
    if (!inv.zero && !inv.reference)
        return inv.command == QLatin1String("check")
                   ? QStringLiteral("check wants --reference V")
                   : QStringLiteral("calibrate wants --reference V or --zero");
    if (inv.tolerancePercent && (inv.zero || *inv.reference == 0))
        return QStringLiteral(
            "a tolerance in % of a reference of 0 is 0; give --tolerance as an amount, e.g. 0.5");
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
            {QStringLiteral("check"), QStringLiteral("check takes no words")},
            {QStringLiteral("calibrate"), QStringLiteral("calibrate takes no words")},
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
        static const QSet<QString> known = {QStringLiteral("json"), QStringLiteral("yes"),
                                            QStringLiteral("zero")};
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
    if (parsed.error.isEmpty())
        parsed.error = applyTimeout(inv);
    if (parsed.error.isEmpty())
        parsed.error = checkPoint(inv);
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
        "  tqcal check TARGET --reference V [--channel N] [--tolerance T|T%] [--dwell S] [--window S]\n"
        "              [--timeout S] [--max-slope X] [--max-sd X] [--interval MS]\n"
        "  tqcal calibrate TARGET --reference V [--zero] [--channel N] [--tolerance T|T%]\n"
        "              [--gas-lot TEXT] [--gas-expiry YYYY-MM-DD] [--yes] [--certificate FILE.pdf]\n"
        "              [--dwell S] [--window S] [--timeout S] [--interval MS]\n"
        "TARGET is --port PATH or --serial TEXT. Every command takes --timeout MS (the wait for each\n"
        "reply, default 10000); check and calibrate take it in seconds, the wait for a stable reading.\n"
        "Exit codes: 0 done, 1 check failed, 2 usage error or refused input, 3 not confirmed,\n"
        "4 refused by the device, 5 no answer in time, 6 no such device or port not opened.\n"
        "See tqcal(1).\n");
}
