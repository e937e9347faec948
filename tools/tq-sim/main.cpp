#include "simulateddevice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRegExp>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

int g_signalFds[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

struct DeviceChoice
{
    tqsim::Model model;
    QString serial;
    QByteArray versionReply;
};

struct Options
{
    std::vector<DeviceChoice> devices;
    bool transcript = false;
    bool noValues = false;
    bool help = false;
};

const char *kUsage =
    "Usage: tq-sim [--device MODEL:SERIAL [--version-reply LINE]]... [--transcript] [--no-values]\n"
    "\n"
    "Simulates TQ-series devices on pseudo-terminals until SIGINT or SIGTERM.\n"
    "  --device MODEL:SERIAL   add a device; MODEL is pm, tq20, tq21, tq22 or tq24\n"
    "                          (default: one device of every model)\n"
    "  --version-reply LINE    version reply of the preceding device, e.g. \"ATCVER TQ23-1v0\"\n"
    "  --transcript            print every command and reply with a time stamp to stderr\n"
    "  --no-values             send live fields as \"----\"\n"
    "  --help                  show this text\n"
    "\n"
    "Prints \"PORT SERIAL MODEL\" per device, then TQ_CALIBRATOR_PORTS=PORT=SERIAL;...\n";

QString defaultSerial(tqsim::Model model)
{
    return QStringLiteral("SIM-%1-0001").arg(tqsim::modelName(model).toUpper());
}

// Returns an empty string on success, otherwise the message for the user.
QString parseArguments(const QStringList &args, Options *options)
{
    for (int i = 1; i < args.size(); ++i) {
        QString arg = args.at(i);
        QString value;
        const QString name = arg.section(QLatin1Char('='), 0, 0);
        const bool takesValue = name == QLatin1String("--device") || name == QLatin1String("--version-reply");
        if (takesValue) {
            const int eq = arg.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = arg.mid(eq + 1);
                arg = arg.left(eq);
            } else if (i + 1 < args.size()) {
                value = args.at(++i);
            } else {
                return QStringLiteral("%1 needs a value").arg(arg);
            }
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options->help = true;
        } else if (arg == QLatin1String("--transcript")) {
            options->transcript = true;
        } else if (arg == QLatin1String("--no-values")) {
            options->noValues = true;
        } else if (arg == QLatin1String("--device")) {
            const QString name = value.section(QLatin1Char(':'), 0, 0);
            DeviceChoice choice;
            if (!tqsim::modelFromName(name, &choice.model))
                return QStringLiteral("unknown model \"%1\" (use pm, tq20, tq21, tq22 or tq24)").arg(name);
            choice.serial = value.contains(QLatin1Char(':')) ? value.section(QLatin1Char(':'), 1) : QString();
            if (choice.serial.isEmpty())
                choice.serial = defaultSerial(choice.model);
            if (choice.serial.contains(QRegExp(QStringLiteral("[;=\\s]"))))
                return QStringLiteral("serial \"%1\" must not contain ';', '=' or blanks").arg(choice.serial);
            options->devices.push_back(choice);
        } else if (arg == QLatin1String("--version-reply")) {
            if (options->devices.empty())
                return QStringLiteral("--version-reply must follow a --device");
            options->devices.back().versionReply = value.toLatin1();
        } else {
            return QStringLiteral("unknown option \"%1\"").arg(args.at(i));
        }
    }
    if (options->devices.empty()) {
        for (tqsim::Model model : tqsim::allModels())
            options->devices.push_back({model, defaultSerial(model), QByteArray()});
    }
    return QString();
}

QString printable(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        if (c == '\r')
            out += QLatin1String("[CR]");
        else if (c == '\n')
            out += QLatin1String("[LF]");
        else if (c >= 0x20 && c < 0x7f)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return out;
}

void logTranscript(const QString &serial, const char *direction, const QByteArray &bytes)
{
    QTextStream err(stderr);
    err << QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz")) << ' ' << serial << ' '
        << direction << ' ' << printable(bytes) << '\n';
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0)
        return false;
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    Options options;
    const QString error = parseArguments(app.arguments(), &options);
    if (!error.isEmpty()) {
        err << "tq-sim: " << error << "\n\n" << kUsage;
        return 2;
    }
    if (options.help) {
        out << kUsage;
        return 0;
    }
    if (!installSignalHandlers()) {
        err << "tq-sim: cannot install the signal handlers\n";
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalFds[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    std::vector<std::unique_ptr<SimulatedDevice>> devices;
    QStringList ports;
    for (const DeviceChoice &choice : options.devices) {
        auto device = std::make_unique<SimulatedDevice>(choice.model);
        device->setRecording(false);
        device->setNoValues(options.noValues);
        if (!choice.versionReply.isEmpty())
            device->setVersionReply(choice.versionReply);
        if (!device->open()) {
            err << "tq-sim: " << choice.serial << ": " << device->errorString() << '\n';
            return 1;
        }
        if (options.transcript) {
            const QString serial = choice.serial;
            QObject::connect(device.get(), &SimulatedDevice::commandReceived,
                             [serial](const QByteArray &line) { logTranscript(serial, "<-", line); });
            QObject::connect(device.get(), &SimulatedDevice::replySent,
                             [serial](const QByteArray &line) { logTranscript(serial, "->", line); });
        }
        out << device->portName() << ' ' << choice.serial << ' ' << tqsim::modelName(choice.model) << '\n';
        ports << device->portName() + QLatin1Char('=') + choice.serial;
        devices.push_back(std::move(device));
    }
    out << "TQ_CALIBRATOR_PORTS=" << ports.join(QLatin1Char(';')) << '\n';
    out.flush();

    const int rc = app.exec();
    devices.clear();
    return rc;
}
