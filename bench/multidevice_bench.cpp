// The bench window with many simulated devices polled at once: starts tq-sim with N devices (every
// model in turn) and the tool with --bench, lets every device be identified, refreshed and polled,
// then measures for a while and prints a Markdown report: the tool's CPU in % of one core (utime +
// stime of all threads from /proc/PID/stat), its resident memory against the same bench with no
// device, divided per device, and each device's poll period as the simulator saw the polls arrive.

#include "bench/benchutil.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QSysInfo>
#include <QTextStream>

#include <cmath>
#include <unistd.h>

namespace {

struct Options
{
    int devices = 16;
    int pollMs = 500;
    int seconds = 60;
    QString platform = QStringLiteral("offscreen");
};

// CPU seconds of all the process's threads so far.
double cpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The fields after the command name, which may hold blanks, in parentheses.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

double residentMb(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

void keepRunning(int ms)
{
    waitFor([] { return false; }, ms);
}

QProcess *startTool(const Options &options, const QString &ports)
{
    auto *tool = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TQ_CALIBRATOR_PORTS"), ports);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), options.platform);
    tool->setProcessEnvironment(env);
    tool->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool->start(QStringLiteral(TQ_PROGRAM),
                {QStringLiteral("--bench"), QStringLiteral("--poll-ms"), QString::number(options.pollMs)});
    tool->waitForStarted();
    return tool;
}

void stop(QProcess *process)
{
    process->terminate();
    if (!process->waitForFinished(5000))
        process->kill();
    process->waitForFinished(2000);
    delete process;
}

// One poll as the simulator received it: the device's serial and the milliseconds since it opened.
struct Poll
{
    QString serial;
    qint64 ms;
};

// "08:41:02.118 +1532 SIM-TQ24-0001 <- ATCD[CR][LF]"
bool parsePoll(const QByteArray &line, Poll *poll)
{
    const QList<QByteArray> parts = line.trimmed().split(' ');
    if (parts.size() < 5 || parts.at(3) != "<-" ||
        !(parts.at(4).startsWith("ATCD") || parts.at(4).startsWith("ATCH")))
        return false;
    poll->serial = QString::fromLatin1(parts.at(2));
    poll->ms = parts.at(1).mid(1).toLongLong();
    return true;
}

bool parseArguments(const QStringList &args, Options *options)
{
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString value = args.at(i + 1);
        if (args.at(i) == QLatin1String("--devices"))
            options->devices = value.toInt();
        else if (args.at(i) == QLatin1String("--poll"))
            options->pollMs = value.toInt();
        else if (args.at(i) == QLatin1String("--seconds"))
            options->seconds = value.toInt();
        else if (args.at(i) == QLatin1String("--platform"))
            options->platform = value;
        else
            return false;
    }
    return args.size() % 2 == 1 && options->devices > 0 && options->pollMs > 0 && options->seconds > 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    Options options;
    if (!parseArguments(app.arguments(), &options)) {
        out << "Usage: multidevice_bench [--devices N] [--poll MS] [--seconds S] [--platform "
               "offscreen|xcb]\n";
        return 2;
    }

    // The floor: the bench window with no device.
    QProcess *empty = startTool(options, QString());
    keepRunning(5000);
    const double emptyMb = residentMb(empty->processId());
    stop(empty);

    const char *models[] = {"pm", "tq20", "tq21", "tq22", "tq24"};
    QStringList simArgs{QStringLiteral("--transcript")};
    for (int i = 0; i < options.devices; ++i)
        simArgs << QStringLiteral("--device")
                << QStringLiteral("%1:BENCH-%2")
                       .arg(QLatin1String(models[i % 5]))
                       .arg(i + 1, 2, 10, QLatin1Char('0'));
    QProcess sim;
    sim.start(QStringLiteral(TQSIM_PROGRAM), simArgs);
    QString ports;
    waitFor(
        [&] {
            while (sim.canReadLine()) {
                const QString line = QString::fromLatin1(sim.readLine()).trimmed();
                if (line.startsWith(QLatin1String("TQ_CALIBRATOR_PORTS=")))
                    ports = line.section(QLatin1Char('='), 1);
            }
            return !ports.isEmpty();
        },
        10000);
    if (ports.isEmpty()) {
        out << "tq-sim did not start\n";
        return 1;
    }
    QList<Poll> polls;
    bool measuring = false;
    QByteArray pending;
    QObject::connect(&sim, &QProcess::readyReadStandardError, [&] {
        pending += sim.readAllStandardError();
        for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            Poll poll;
            if (parsePoll(pending.left(end), &poll) && measuring)
                polls.append(poll);
            pending.remove(0, end + 1);
        }
    });

    QElapsedTimer clock;
    clock.start();
    QProcess *tool = startTool(options, ports);
    // Every device identified, refreshed and polling: its polls reach the simulator.
    QSet<QString> polled;
    measuring = true;
    waitFor(
        [&] {
            for (const Poll &poll : qAsConst(polls))
                polled.insert(poll.serial);
            polls.clear();
            return polled.size() == options.devices;
        },
        60000);
    const double allPolledS = clock.elapsed() / 1000.0;
    keepRunning(3000);
    polls.clear();
    const double cpu0 = cpuSeconds(tool->processId());
    const double simCpu0 = cpuSeconds(sim.processId());
    clock.restart();
    keepRunning(options.seconds * 1000);
    const double wallS = clock.elapsed() / 1000.0;
    const double cpuPercent = 100.0 * (cpuSeconds(tool->processId()) - cpu0) / wallS;
    const double simPercent = 100.0 * (cpuSeconds(sim.processId()) - simCpu0) / wallS;
    const double fullMb = residentMb(tool->processId());
    measuring = false;
    stop(tool);
    sim.terminate();
    sim.waitForFinished(5000);

    // Each device's periods: the mean, and the worst single gap either way.
    QMap<QString, QList<qint64>> times;
    for (const Poll &poll : qAsConst(polls))
        times[poll.serial].append(poll.ms);
    double worstMean = 0;
    double worstGap = 0;
    int within = 0;
    int intervals = 0;
    QStringList rows;
    for (auto it = times.cbegin(); it != times.cend(); ++it) {
        const QList<qint64> &t = it.value();
        std::vector<double> gaps;
        for (int i = 1; i < t.size(); ++i)
            gaps.push_back(double(t.at(i) - t.at(i - 1)));
        if (gaps.empty())
            continue;
        const double mean = double(t.last() - t.first()) / double(gaps.size());
        const auto [lo, hi] = std::minmax_element(gaps.begin(), gaps.end());
        for (double gap : gaps)
            within += std::abs(gap - options.pollMs) <= 0.1 * options.pollMs;
        intervals += int(gaps.size());
        worstMean = std::max(worstMean, std::abs(mean - options.pollMs) / options.pollMs);
        worstGap = std::max({worstGap, std::abs(*lo - options.pollMs) / options.pollMs,
                             std::abs(*hi - options.pollMs) / options.pollMs});
        rows << QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
                    .arg(it.key())
                    .arg(gaps.size())
                    .arg(mean, 0, 'f', 1)
                    .arg(*lo, 0, 'f', 0)
                    .arg(*hi, 0, 'f', 0);
    }
    const double perDeviceMb = (fullMb - emptyMb) / options.devices;
    const bool periodsHold = times.size() == options.devices && worstMean <= 0.10;

    out << "# " << options.devices << " simulated devices on the bench, polled every " << options.pollMs
        << " ms\n\n";
    out << "Machine: " << QSysInfo::prettyProductName() << ", Qt " << qVersion() << ", "
        << sysconf(_SC_NPROCESSORS_ONLN) << " cores; platform " << options.platform << "; measured for "
        << QString::number(wallS, 'f', 1) << " s\n\n";
    out << "| figure | goal | measured | goal met |\n|---|---|---:|---|\n";
    out << "| every device polled after start | <= 10 s | " << QString::number(allPolledS, 'f', 1) << " s | "
        << (polled.size() == options.devices && allPolledS <= 10 ? "yes" : "no") << " |\n";
    out << "| tool CPU, % of one core | <= 3 % | " << QString::number(cpuPercent, 'f', 2) << " | "
        << (cpuPercent <= 3 ? "yes" : "no") << " |\n";
    out << "| memory per device (RSS " << QString::number(fullMb, 'f', 1) << " MB - "
        << QString::number(emptyMb, 'f', 1) << " MB with none, / " << options.devices << ") | <= 15 MB | "
        << QString::number(perDeviceMb, 'f', 2) << " MB | " << (perDeviceMb <= 15 ? "yes" : "no") << " |\n";
    out << "| worst device's mean poll period off " << options.pollMs << " ms | <= 10 % | "
        << QString::number(100 * worstMean, 'f', 2) << " % | " << (periodsHold ? "yes" : "no") << " |\n";
    out << "| single poll intervals within 10 % | - | " << within << " of " << intervals << " | - |\n";
    out << "| worst single interval off " << options.pollMs << " ms | - | "
        << QString::number(100 * worstGap, 'f', 1) << " % | - |\n";
    out << "| tq-sim CPU, % of one core | - | " << QString::number(simPercent, 'f', 2) << " | - |\n\n";
    out << "| device | intervals | mean ms | shortest ms | longest ms |\n|---|---:|---:|---:|---:|\n"
        << rows.join(QLatin1Char('\n')) << '\n';
    return periodsHold ? 0 : 1;
}
