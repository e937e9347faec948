#include "tqcal/commands.h"
#include "tqcal/console.h"
#include "tqcal/exitcode.h"
#include "tqcal/invocation.h"

#include <QCoreApplication>
#include <QHash>

#include <functional>

int main(int argc, char *argv[])
{
    // The window's name: the calibration record lives in its data folder.
    QCoreApplication::setApplicationName(QStringLiteral("TQ_Gas_Calibrator"));
    QCoreApplication app(argc, argv);
    const ParsedArguments parsed = parseArguments(app.arguments().mid(1));
    const Invocation &invocation = parsed.invocation;
    if (!parsed.error.isEmpty()) {
        Console::message(parsed.error);
        std::fputs(qPrintable(usageText()), stderr);
        return ExitCode::Usage;
    }
    if (invocation.version) {
        Console::data(QStringLiteral("tqcal " TQ_VERSION));
        return ExitCode::Done;
    }
    if (invocation.help) {
        std::fputs(qPrintable(usageText()), stdout);
        return ExitCode::Done;
    }
    static const QHash<QString, std::function<int(const Invocation &)>> commands = {
        {QStringLiteral("list"), runList},   {QStringLiteral("info"), runInfo},
        {QStringLiteral("get"), runGet},     {QStringLiteral("set"), runSet},
        {QStringLiteral("do"), runDo},       {QStringLiteral("watch"), runWatch},
        {QStringLiteral("check"), runCheck}, {QStringLiteral("calibrate"), runCalibrate},
    };
    return commands.value(invocation.command)(invocation);
}
