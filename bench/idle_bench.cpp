// Runs the tool and a bare Qt widget window side by side on a private X server (Xvfb), case by case
// (no device; the PM panel polling at 1 s and at 500 ms; a PM device streaming live lines at the
// wire limit), and prints a Markdown report of what each costs: CPU time of all its threads from
// /proc/PID/task/*/schedstat, wake-ups as voluntary + involuntary context switches. With
// --baseline, the figures of an earlier run (--tsv) stand next to this run's.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

const int kSlices = 6;
const int kReadyTimeoutMs = 30000;

struct Case
{
    QString key;
    QString title;
    bool device;
    bool stream;
    QString rateMs;
    double goalPercent;
    bool goalAboveBare; // the goal counts what the tool costs above the bare window
};

const QList<Case> &allCases()
{
    static const QList<Case> cases{
        {"idle", "no device", false, false, QString(), 0.1, true},
        {"pm1s", "PM panel, poll 1 s", true, false, "1000", 0.5, false},
        {"pm500ms", "PM panel, poll 500 ms", true, false, "500", 0.8, false},
        {"stream", "PM device streaming at the wire limit", true, true, "1000", 5.0, false},
    };
    return cases;
}

// What one case cost: CPU in % of one core, wake-ups per minute, and the tool's CPU per sixth of the run.
struct Figures
{
    double toolCpu = 0;
    double bareCpu = 0;
    double toolWakeups = 0;
    double bareWakeups = 0;
    QVector<double> toolSlices;
    bool valid = false;
};

struct Usage
{
    qint64 cpuNs = 0;
    qint64 switches = 0;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Summed over the process's threads: run time and context switches.
Usage usageOf(qint64 pid)
{
    Usage usage;
    const QString taskDir = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &tid : QDir(taskDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString base = taskDir + QLatin1Char('/') + tid;
        usage.cpuNs += readFile(base + QStringLiteral("/schedstat")).split(' ').value(0).toLongLong();
        for (const QByteArray &line : readFile(base + QStringLiteral("/status")).split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                usage.switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return usage;
}

QString firstLineOf(const QString &path, const QByteArray &key)
{
    for (const QByteArray &line : readFile(path).split('\n')) {
        if (line.startsWith(key))
            return QString::fromUtf8(line.mid(line.indexOf(key) + key.size()))
                .remove(QLatin1Char('"'))
                .trimmed();
    }
    return QString();
}

// The 1-minute load average: other work on the machine shows in the figures.
QString loadAverage()
{
    return QString::fromLatin1(readFile(QStringLiteral("/proc/loadavg")).split(' ').value(0));
}

QString machine()
{
    QString cpu = firstLineOf(QStringLiteral("/proc/cpuinfo"), "model name");
    cpu = cpu.mid(cpu.indexOf(QLatin1Char(':')) + 1).trimmed();
    return QStringLiteral("%1 (%2 cores), %3, Qt %4")
        .arg(cpu)
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::prettyProductName(), QString::fromLatin1(qVersion()));
}

bool readLineWithin(QProcess &process, QByteArray *line, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine()) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || process.state() == QProcess::NotRunning || !process.waitForReadyRead(left))
            return process.canReadLine() && (*line = process.readLine().trimmed(), true);
    }
    *line = process.readLine().trimmed();
    return true;
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

class Bench
{
public:
    QString toolPath;
    QString barePath;
    QString simPath;
    int seconds = 60;
    int settleSeconds = 5;

    ~Bench() { stop(m_xserver); }

    bool startXServer(QString *error)
    {
        m_xserver.start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
        QByteArray number;
        if (!m_xserver.waitForStarted(5000) || !readLineWithin(m_xserver, &number, 10000) ||
            number.isEmpty()) {
            *error = QStringLiteral("Xvfb did not start (apt-get install xvfb)");
            return false;
        }
        m_display = QLatin1Char(':') + QString::fromLatin1(number);
        return true;
    }

    Figures run(const Case &c, QString *error)
    {
        Figures figures;
        QProcess sim;
        QString port;
        QString portList;
        if (c.device) {
            QStringList args{QStringLiteral("--model"), QStringLiteral("pm")};
            if (c.stream)
                args << QStringLiteral("--stream");
            sim.start(simPath, args);
            QByteArray line;
            if (!sim.waitForStarted(5000) || !readLineWithin(sim, &line, 5000)) {
                *error = QStringLiteral("the simulator %1 did not start").arg(simPath);
                return figures;
            }
            port = QString::fromLatin1(line.left(line.indexOf(' ')));
            portList = QString::fromLatin1(line.mid(line.indexOf('=') + 1));
        }

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("TQ_CALIBRATOR_PORTS"), portList);
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        QProcess tool;
        QProcess bare;
        tool.setProcessEnvironment(env);
        bare.setProcessEnvironment(env);
        tool.setProcessChannelMode(QProcess::SeparateChannels);
        tool.setStandardErrorFile(QProcess::nullDevice());
        bare.setStandardErrorFile(QProcess::nullDevice());
        QStringList toolArgs;
        if (!port.isEmpty())
            toolArgs << QStringLiteral("--open") << port << QStringLiteral("--rate") << c.rateMs;
        tool.start(toolPath, toolArgs);
        bare.start(barePath, QStringList());
        QByteArray ready;
        if (!tool.waitForStarted(5000) || !bare.waitForStarted(5000) ||
            !readLineWithin(tool, &ready, kReadyTimeoutMs) || ready != "ready") {
            *error = QStringLiteral("case %1: the tool did not get ready").arg(c.key);
        } else {
            QThread::sleep(settleSeconds);
            measure(tool.processId(), bare.processId(), &figures);
            if (tool.state() != QProcess::Running || bare.state() != QProcess::Running)
                *error = QStringLiteral("case %1: a program ended during the run").arg(c.key);
            figures.valid = error->isEmpty();
        }
        stop(tool);
        stop(bare);
        stop(sim);
        return figures;
    }

private:
    void measure(qint64 toolPid, qint64 barePid, Figures *figures)
    {
        QElapsedTimer clock;
        clock.start();
        const Usage toolStart = usageOf(toolPid);
        const Usage bareStart = usageOf(barePid);
        Usage toolLast = toolStart;
        qint64 lastNs = 0;
        for (int i = 1; i <= kSlices; ++i) {
            const qint64 dueNs = qint64(seconds) * 1000000000 * i / kSlices;
            QThread::usleep(quint64(std::max<qint64>(0, dueNs - clock.nsecsElapsed()) / 1000));
            const Usage now = usageOf(toolPid);
            const qint64 elapsedNs = clock.nsecsElapsed();
            figures->toolSlices << 100.0 * double(now.cpuNs - toolLast.cpuNs) / double(elapsedNs - lastNs);
            toolLast = now;
            lastNs = elapsedNs;
        }
        const Usage bareEnd = usageOf(barePid);
        const double wallNs = double(clock.nsecsElapsed());
        const double minutes = wallNs / 60e9;
        figures->toolCpu = 100.0 * double(toolLast.cpuNs - toolStart.cpuNs) / wallNs;
        figures->bareCpu = 100.0 * double(bareEnd.cpuNs - bareStart.cpuNs) / wallNs;
        figures->toolWakeups = double(toolLast.switches - toolStart.switches) / minutes;
        figures->bareWakeups = double(bareEnd.switches - bareStart.switches) / minutes;
    }

    QProcess m_xserver;
    QString m_display;
};

// "key toolCpu bareCpu toolWakeups bareWakeups slice..." per line, tab-separated.
QMap<QString, Figures> readTsv(const QString &path)
{
    QMap<QString, Figures> all;
    for (const QByteArray &line : readFile(path).split('\n')) {
        const QList<QByteArray> cells = line.split('\t');
        if (cells.size() < 5 || line.startsWith('#'))
            continue;
        Figures f;
        f.toolCpu = cells[1].toDouble();
        f.bareCpu = cells[2].toDouble();
        f.toolWakeups = cells[3].toDouble();
        f.bareWakeups = cells[4].toDouble();
        for (int i = 5; i < cells.size(); ++i)
            f.toolSlices << cells[i].toDouble();
        f.valid = true;
        all.insert(QString::fromLatin1(cells[0]), f);
    }
    return all;
}

void writeTsv(const QString &path, const QList<Case> &cases, const QMap<QString, Figures> &results)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream out(&file);
    out << "# case\ttool %\tbare %\ttool wake-ups/min\tbare wake-ups/min\ttool % per sixth of the run\n";
    for (const Case &c : cases) {
        const Figures &f = results[c.key];
        out << c.key << '\t' << f.toolCpu << '\t' << f.bareCpu << '\t' << f.toolWakeups << '\t'
            << f.bareWakeups;
        for (double slice : f.toolSlices)
            out << '\t' << slice;
        out << '\n';
    }
}

QString percent(double value)
{
    return QString::number(value, 'f', value < 10 ? 3 : 2);
}

QString ratio(double a, double b)
{
    return b > 0.0005 ? QString::number(a / b, 'f', 1) + QLatin1Char('x') : QStringLiteral("n/a");
}

// The streaming case must also stay flat: its last sixth no dearer than its first by more than a quarter.
bool isFlat(const Figures &f)
{
    return f.toolSlices.size() >= 2 && f.toolSlices.last() <= f.toolSlices.first() * 1.25 + 0.25;
}

bool goalMet(const Case &c, const Figures &f)
{
    const double cost = c.goalAboveBare ? f.toolCpu - f.bareCpu : f.toolCpu;
    return cost <= c.goalPercent && (!c.stream || isFlat(f));
}

QString goalText(const Case &c)
{
    QString text = QStringLiteral("≤ %1 %").arg(c.goalPercent);
    if (c.goalAboveBare)
        text += QStringLiteral(" above bare");
    if (c.stream)
        text += QStringLiteral(", flat");
    return text;
}

void printReport(const QList<Case> &cases, const QMap<QString, Figures> &results,
                 const QMap<QString, Figures> &baseline, const QString &baselinePath, const Bench &bench,
                 const QString &loadAtStart)
{
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << "# Idle benchmark\n\n"
        << "The tool and a bare Qt widget window (`bench/bare_window`) run side by side on a private X "
           "server (Xvfb, 1280x1024x24, no window manager), "
        << bench.seconds << " s per case after the panel is up and " << bench.settleSeconds
        << " s of settling. The tool is `bench/idle_tool`: the program's own start-up; the harness only "
           "activates the simulated device's list entry and picks the poll period in the Rate menu, then "
           "stops. The device is `tq-sim --model pm` on a pseudo-terminal (`--stream` for the last case: "
           "live lines unasked, back to back at 115200 baud). CPU is the run time of all threads "
           "(/proc/PID/task/*/schedstat) in % of one core; wake-ups are voluntary + involuntary context "
           "switches of all threads per minute.\n\n"
        << "Machine: " << machine() << "; load average " << loadAtStart << " at the start and "
        << loadAverage() << " at the end of the run.\n\n"
        << "Command: `" << QCoreApplication::arguments().join(QLatin1Char(' ')) << "`";
    if (!baseline.isEmpty())
        out << "; \"before\" from `" << baselinePath << "`, made the same way on the code before this work";
    out << ".\n\n"
        << QStringLiteral(
               "| case | goal | tool % before | tool % now | bare window % | tool − bare % | goal met | "
               "before ÷ now | tool ÷ bare | wake-ups/min before | wake-ups/min now | bare wake-ups/min |\n")
        << "|---|---|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|\n";
    for (const Case &c : cases) {
        const Figures &f = results[c.key];
        const bool hasBefore = baseline.contains(c.key);
        const Figures &b = baseline[c.key];
        out << "| " << c.title << " | " << goalText(c) << " | "
            << (hasBefore ? percent(b.toolCpu) : QStringLiteral("–")) << " | " << percent(f.toolCpu) << " | "
            << percent(f.bareCpu) << " | " << percent(f.toolCpu - f.bareCpu) << " | "
            << (goalMet(c, f) ? "yes" : "**no**") << " | "
            << (hasBefore ? ratio(b.toolCpu, f.toolCpu) : QStringLiteral("–")) << " | "
            << ratio(f.toolCpu, f.bareCpu) << " | "
            << (hasBefore ? QString::number(qRound(b.toolWakeups)) : QStringLiteral("–")) << " | "
            << qRound(f.toolWakeups) << " | " << qRound(f.bareWakeups) << " |\n";
    }
    out << "\nThe tool's CPU in % of a core per sixth of each run (flat means the last sixth costs at most "
           "a quarter more than the first, plus 0.25 points):\n\n"
        << "| case | run |";
    for (int i = 1; i <= kSlices; ++i)
        out << ' ' << i << " |";
    out << "\n|---|---|" << QString(QStringLiteral("---:|")).repeated(kSlices) << '\n';
    for (const Case &c : cases) {
        for (const auto &[label, figures] : {std::make_pair(QStringLiteral("before"), baseline.value(c.key)),
                                             std::make_pair(QStringLiteral("now"), results[c.key])}) {
            if (figures.toolSlices.isEmpty())
                continue;
            out << "| " << c.title << " | " << label << " |";
            for (double slice : figures.toolSlices)
                out << ' ' << percent(slice) << " |";
            out << '\n';
        }
    }
}

QString option(const QStringList &args, const QString &name, const QString &fallback = QString())
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
}

const char *kUsage =
    "Usage: idle_bench [--seconds N] [--settle N] [--quick] [--cases idle,pm1s,pm500ms,stream]\n"
    "                  [--tsv OUT] [--baseline TSV] [--tool PATH] [--bare PATH] [--sim PATH]\n"
    "Prints the report on stdout (bench/IDLE_RESULTS.md); --quick is 10 s per case after 4 s.\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--help"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const QString here = QCoreApplication::applicationDirPath();
    Bench bench;
    const bool quick = args.contains(QStringLiteral("--quick"));
    bench.seconds = option(args, QStringLiteral("--seconds"), quick ? "10" : "60").toInt();
    bench.settleSeconds = option(args, QStringLiteral("--settle"), quick ? "4" : "5").toInt();
    bench.toolPath = option(args, QStringLiteral("--tool"), here + QStringLiteral("/idle_tool"));
    bench.barePath = option(args, QStringLiteral("--bare"), here + QStringLiteral("/bare_window"));
    bench.simPath = option(args, QStringLiteral("--sim"), here + QStringLiteral("/../tools/tq-sim/tq-sim"));
    if (bench.seconds < kSlices) {
        std::fprintf(stderr, "idle_bench: --seconds must be at least %d\n%s", kSlices, kUsage);
        return 2;
    }

    QList<Case> cases;
    const QStringList wanted =
        option(args, QStringLiteral("--cases")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const Case &c : allCases()) {
        if (wanted.isEmpty() || wanted.contains(c.key))
            cases << c;
    }

    const QString loadAtStart = loadAverage();
    QString error;
    if (!bench.startXServer(&error)) {
        std::fprintf(stderr, "idle_bench: %s\n", qPrintable(error));
        return 1;
    }
    QMap<QString, Figures> results;
    for (const Case &c : cases) {
        std::fprintf(stderr, "idle_bench: %s ...\n", qPrintable(c.title));
        const Figures f = bench.run(c, &error);
        if (!f.valid) {
            std::fprintf(stderr, "idle_bench: %s\n", qPrintable(error));
            return 1;
        }
        std::fprintf(stderr, "idle_bench: %s: tool %.3f %%, bare %.3f %%\n", qPrintable(c.title), f.toolCpu,
                     f.bareCpu);
        results.insert(c.key, f);
    }
    const QString tsv = option(args, QStringLiteral("--tsv"));
    if (!tsv.isEmpty())
        writeTsv(tsv, cases, results);
    const QString baselinePath = option(args, QStringLiteral("--baseline"));
    printReport(cases, results, baselinePath.isEmpty() ? QMap<QString, Figures>() : readTsv(baselinePath),
                baselinePath, bench, loadAtStart);
    return 0;
}
