#include "simulateddevice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QRegExp>
#include <QSet>
#include <QSocketNotifier>
#include <QTextStream>

#include <cerrno>
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

// Faults applied to every device served.
struct Faults
{
    bool noValues = false;
    QSet<int> noValueFields;
    QSet<QByteArray> silentWords;
    bool refuseActions = false;
    int delayMs = -1;
    int splitBytes = 0;
    int splitPauseMs = 0;
    SimulatedDevice::Noise noise = SimulatedDevice::NoNoise;
    bool echo = false;
    int vanishAfter = 0;
    bool stream = false;
};

struct Options
{
    std::vector<DeviceChoice> devices;
    bool single = false; // --model: one device, one output line
    QString model;
    QString firmware;
    QString serial;
    QString link;
    bool transcript = false;
    bool help = false;
    Faults faults;
    bool gas = false; // --gas given
    GasModel::Params gasParams;
    QStringList gasDetails; // --settle-s, --gas-noise, --drift given
};

const char *kUsage =
    "Usage: tq-sim --model MODEL [--firmware DvD] [--serial TEXT] [FAULTS] [--transcript]\n"
    "       tq-sim [--device MODEL:SERIAL [--version-reply LINE]]... [FAULTS] [--transcript]\n"
    "\n"
    "Simulates TQ-series devices on pseudo-terminals until SIGINT or SIGTERM.\n"
    "  --model MODEL           serve one device: pm, tq20, tq21, tq22 or tq24; prints one line\n"
    "                          \"PORT TQ_CALIBRATOR_PORTS=PORT=SERIAL\"\n"
    "  --firmware DvD          firmware of that device, e.g. 1v5 (answers \"ATCVER TQ24-1v5\")\n"
    "  --serial TEXT           serial text of that device (default SIM-MODEL-0001)\n"
    "  --link PATH             also name that device's port PATH (a symbolic link, removed at the\n"
    "                          end), so a tool started earlier can list a port that comes later\n"
    "  --device MODEL:SERIAL   add a device (default without --model: one device of every model);\n"
    "                          prints \"PORT SERIAL MODEL\" per device, then TQ_CALIBRATOR_PORTS=...\n"
    "  --version-reply LINE    version reply of the preceding device, e.g. \"ATCVER TQ23-1v0\"\n"
    "  --transcript            print every received and sent line with a time stamp to stderr\n"
    "Gas (every device): the primary channel reads a gas the device's calibration commands act on\n"
    "  --gas VALUE             true concentration in the primary channel's unit (TQ24 gas ppm,\n"
    "                          TQ21 CO2 ppm, TQ20 TVOC ppm, TQ22 O2 %, PM pm2.5); a line\n"
    "                          \"gas VALUE\" on standard input changes it while running;\n"
    "                          the gas fields then carry at least two decimals\n"
    "  --settle-s S            time constant of the sensor's first-order lag (default 0)\n"
    "  --gas-noise AMPLITUDE   each reading off by up to AMPLITUDE either way (default 0)\n"
    "  --drift PER_MINUTE      the reading drifts by this much a minute (default 0)\n"
    "Faults (every device):\n"
    "  --no-values             send every live field as \"----\"\n"
    "  --no-value-field N      send live field N (1 = first) as \"----\"; repeatable\n"
    "  --silent WORD           never act on or answer command WORD, e.g. ATCOFF1; repeatable\n"
    "  --refuse-actions        answer actions (ATCFTRST, ATCDRFT, ATCC, ...) without \"OK\"\n"
    "  --delay MS              answer MS milliseconds late\n"
    "  --split BYTES[:MS]      send replies in chunks of BYTES, MS (default 50) apart\n"
    "  --noise                 a junk text line after every reply\n"
    "  --nul                   a line of NUL bytes after every reply\n"
    "  --bad-utf8              a line of invalid UTF-8 after every reply\n"
    "  --echo                  send each command back before its reply\n"
    "  --vanish-after N        close the port after answering N commands\n"
    "  --stream                from the first command on, send live lines unasked as fast as\n"
    "                          115200 baud carries them\n"
    "  --help                  show this text\n";

QString defaultSerial(tqsim::Model model)
{
    return QStringLiteral("SIM-%1-0001").arg(tqsim::modelName(model).toUpper());
}

QString checkSerial(const QString &serial)
{
    if (serial.isEmpty() || serial.contains(QRegExp(QStringLiteral("[;=\\s]"))))
        return QStringLiteral("serial \"%1\" must be non-empty, without ';', '=' or blanks").arg(serial);
    return QString();
}

bool toCount(const QString &text, int min, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok, 10);
    return ok && *value >= min;
}

// Returns an empty string on success, otherwise the message for the user.
QString parseFault(const QString &arg, const QString &value, Faults *f)
{
    if (arg == QLatin1String("--no-values")) {
        f->noValues = true;
    } else if (arg == QLatin1String("--refuse-actions")) {
        f->refuseActions = true;
    } else if (arg == QLatin1String("--noise")) {
        f->noise |= SimulatedDevice::NoiseLines;
    } else if (arg == QLatin1String("--nul")) {
        f->noise |= SimulatedDevice::NulBytes;
    } else if (arg == QLatin1String("--bad-utf8")) {
        f->noise |= SimulatedDevice::InvalidUtf8;
    } else if (arg == QLatin1String("--echo")) {
        f->echo = true;
    } else if (arg == QLatin1String("--stream")) {
        f->stream = true;
    } else if (arg == QLatin1String("--silent")) {
        if (!value.startsWith(QLatin1String("ATC")))
            return QStringLiteral("--silent takes a command word such as ATCOFF1, not \"%1\"").arg(value);
        f->silentWords.insert(value.toLatin1());
    } else if (arg == QLatin1String("--no-value-field")) {
        int n = 0;
        if (!toCount(value, 1, &n) || n > 6)
            return QStringLiteral("--no-value-field takes a field number from 1 to 6, not \"%1\"").arg(value);
        f->noValueFields.insert(n);
    } else if (arg == QLatin1String("--delay")) {
        if (!toCount(value, 0, &f->delayMs))
            return QStringLiteral("--delay takes milliseconds, not \"%1\"").arg(value);
    } else if (arg == QLatin1String("--vanish-after")) {
        if (!toCount(value, 1, &f->vanishAfter))
            return QStringLiteral("--vanish-after takes a number of commands, not \"%1\"").arg(value);
    } else if (arg == QLatin1String("--split")) {
        f->splitPauseMs = 50;
        const QStringList parts = value.split(QLatin1Char(':'));
        if (parts.size() > 2 || !toCount(parts[0], 1, &f->splitBytes) ||
            (parts.size() == 2 && !toCount(parts[1], 0, &f->splitPauseMs)))
            return QStringLiteral("--split takes BYTES or BYTES:MS, not \"%1\"").arg(value);
    } else {
        return QStringLiteral("unknown option \"%1\"").arg(arg);
    }
    return QString();
}

bool toNumber(const QString &text, double min, double *value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && qIsFinite(*value) && *value >= min;
}

QString parseGas(const QString &arg, const QString &value, Options *options)
{
    GasModel::Params &params = options->gasParams;
    const double lowest =
        arg == QLatin1String("--drift") ? -qInf() : (arg == QLatin1String("--gas") ? -1e9 : 0.0);
    double number = 0;
    if (!toNumber(value, lowest, &number)) {
        return QStringLiteral("%1 takes %2, not \"%3\"")
            .arg(arg, lowest < 0 ? QStringLiteral("a number") : QStringLiteral("a number from 0 on"), value);
    }
    if (arg == QLatin1String("--gas")) {
        params.gas = number;
        options->gas = true;
        return QString();
    }
    if (arg == QLatin1String("--settle-s"))
        params.settleS = number;
    else if (arg == QLatin1String("--gas-noise"))
        params.noise = number;
    else
        params.driftPerMinute = number;
    options->gasDetails.append(arg);
    return QString();
}

QString parseArguments(const QStringList &args, Options *options)
{
    static const QStringList withValue{"--device",       "--version-reply",  "--model", "--firmware",
                                       "--serial",       "--silent",         "--delay", "--split",
                                       "--vanish-after", "--no-value-field", "--gas",   "--settle-s",
                                       "--gas-noise",    "--drift",          "--link"};
    for (int i = 1; i < args.size(); ++i) {
        QString arg = args.at(i);
        QString value;
        if (withValue.contains(arg.section(QLatin1Char('='), 0, 0))) {
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
        } else if (arg == QLatin1String("--model")) {
            options->single = true;
            options->model = value;
        } else if (arg == QLatin1String("--firmware")) {
            if (!tqsim::isFirmwareText(value))
                return QStringLiteral("firmware \"%1\" must be a digit, \"v\" and a digit, e.g. 1v5")
                    .arg(value);
            options->firmware = value;
        } else if (arg == QLatin1String("--serial")) {
            options->serial = value;
        } else if (arg == QLatin1String("--link")) {
            options->link = value;
        } else if (arg == QLatin1String("--device")) {
            const QString name = value.section(QLatin1Char(':'), 0, 0);
            DeviceChoice choice;
            if (!tqsim::modelFromName(name, &choice.model))
                return QStringLiteral("unknown model \"%1\" (use pm, tq20, tq21, tq22 or tq24)").arg(name);
            choice.serial = value.contains(QLatin1Char(':')) ? value.section(QLatin1Char(':'), 1) : QString();
            if (choice.serial.isEmpty())
                choice.serial = defaultSerial(choice.model);
            const QString bad = checkSerial(choice.serial);
            if (!bad.isEmpty())
                return bad;
            options->devices.push_back(choice);
        } else if (arg == QLatin1String("--gas") || arg == QLatin1String("--settle-s") ||
                   arg == QLatin1String("--gas-noise") || arg == QLatin1String("--drift")) {
            const QString bad = parseGas(arg, value, options);
            if (!bad.isEmpty())
                return bad;
        } else if (arg == QLatin1String("--version-reply")) {
            if (options->devices.empty())
                return QStringLiteral("--version-reply must follow a --device");
            options->devices.back().versionReply = value.toLatin1();
        } else {
            const QString bad = parseFault(arg, value, &options->faults);
            if (!bad.isEmpty())
                return bad;
        }
    }
    if (!options->gas && !options->gasDetails.isEmpty())
        return QStringLiteral("%1 goes with --gas").arg(options->gasDetails.first());
    if (options->single) {
        if (!options->devices.empty())
            return QStringLiteral("--model serves one device; it does not go with --device");
        DeviceChoice choice;
        if (!tqsim::modelFromName(options->model, &choice.model))
            return QStringLiteral("unknown model \"%1\" (use pm, tq20, tq21, tq22 or tq24)")
                .arg(options->model);
        choice.serial = options->serial.isNull() ? defaultSerial(choice.model) : options->serial;
        const QString bad = checkSerial(choice.serial);
        if (!bad.isEmpty())
            return bad;
        if (!options->firmware.isEmpty())
            choice.versionReply = tqsim::versionReplyFor(choice.model, options->firmware.toLatin1());
        options->devices.push_back(choice);
    } else if (!options->firmware.isEmpty() || !options->serial.isNull() || !options->link.isEmpty()) {
        return QStringLiteral("--firmware, --serial and --link go with --model");
    }
    if (options->devices.empty()) {
        for (tqsim::Model model : tqsim::allModels())
            options->devices.push_back({model, defaultSerial(model), QByteArray()});
    }
    return QString();
}

void applyFaults(SimulatedDevice *device, const Faults &f)
{
    device->setNoValues(f.noValues);
    device->setNoValueFields(f.noValueFields);
    device->setSilentWords(f.silentWords);
    device->setRefuseActions(f.refuseActions);
    device->setReplyDelayMs(f.delayMs);
    device->setSplitReplies(f.splitBytes, f.splitPauseMs);
    device->setNoise(f.noise);
    device->setEcho(f.echo);
    device->setVanishAfter(f.vanishAfter);
    device->setStreaming(f.stream);
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

// "08:41:02.118 +1532 SIM-TQ24-0001 <- ATCOFF1 2.50[CR][LF]": wall clock, milliseconds since the
// device opened, serial, direction ("<-" received, "->" sent), the bytes.
void logTranscript(const SimulatedDevice *device, const QString &serial, const char *direction,
                   const QByteArray &bytes)
{
    QTextStream err(stderr);
    err << QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz")) << " +"
        << device->elapsedMs() << ' ' << serial << ' ' << direction << ' ' << printable(bytes) << '\n';
}

// "gas VALUE": the new true concentration for every device.
void readGasLine(const QString &line, const std::vector<std::unique_ptr<SimulatedDevice>> &devices)
{
    QTextStream err(stderr);
    if (line.isEmpty())
        return;
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    double gas = 0;
    if (words.size() != 2 || words.first() != QLatin1String("gas") || !toNumber(words.last(), -1e9, &gas)) {
        err << "tq-sim: \"" << line << "\" not understood; give \"gas VALUE\"\n";
        return;
    }
    for (const auto &device : devices)
        device->setGas(gas);
    err << "tq-sim: gas " << words.last() << '\n';
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
        applyFaults(device.get(), options.faults);
        if (!choice.versionReply.isEmpty())
            device->setVersionReply(choice.versionReply);
        if (options.gas)
            device->setGasModel(options.gasParams);
        if (!device->open()) {
            err << "tq-sim: " << choice.serial << ": " << device->errorString() << '\n';
            return 1;
        }
        const SimulatedDevice *d = device.get();
        const QString serial = choice.serial;
        if (options.transcript) {
            QObject::connect(d, &SimulatedDevice::commandReceived,
                             [d, serial](const QByteArray &line) { logTranscript(d, serial, "<-", line); });
            QObject::connect(d, &SimulatedDevice::bytesSent,
                             [d, serial](const QByteArray &bytes) { logTranscript(d, serial, "->", bytes); });
        }
        QObject::connect(d, &SimulatedDevice::vanished, [serial] {
            QTextStream(stderr) << "tq-sim: " << serial << ": port closed (--vanish-after)\n";
        });
        if (!options.link.isEmpty()) {
            QFile::remove(options.link);
            if (!QFile::link(device->portName(), options.link)) {
                err << "tq-sim: cannot link " << options.link << " to " << device->portName() << '\n';
                return 1;
            }
        }
        const QString entry = device->portName() + QLatin1Char('=') + serial;
        if (options.single) {
            out << device->portName() << " TQ_CALIBRATOR_PORTS=" << entry << '\n';
            err << "tq-sim: " << device->versionReply() << " on " << device->portName()
                << "; stop with Ctrl+C\n";
        } else {
            out << device->portName() << ' ' << serial << ' ' << tqsim::modelName(choice.model) << '\n';
        }
        ports << entry;
        devices.push_back(std::move(device));
    }
    if (!options.single)
        out << "TQ_CALIBRATOR_PORTS=" << ports.join(QLatin1Char(';')) << '\n';
    out.flush();
    err.flush();

    // Standard input is read only for the gas: started in the background from a terminal, tq-sim
    // would otherwise be stopped for reading it.
    std::unique_ptr<QSocketNotifier> input;
    QByteArray pending;
    if (options.gas) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
            char buffer[1024];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                if (n == 0 || errno != EINTR)
                    input->setEnabled(false); // end of input: the gas stays as it is
                return;
            }
            pending.append(buffer, int(n));
            for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
                const QString line = QString::fromLocal8Bit(pending.left(end)).trimmed();
                pending.remove(0, end + 1);
                readGasLine(line, devices);
            }
        });
    }

    const int rc = app.exec();
    if (!options.link.isEmpty())
        QFile::remove(options.link);
    devices.clear();
    return rc;
}
