// Runs the built tqcal program against the in-process simulator on a pseudo-terminal (no baud-rate
// limit there, replies without delay) and prints, as Markdown, per model:
//  - `tqcal info --port P` from the process start to its exit, against the wire time of the same
//    bytes at 115200 baud 8N1 plus the gaps the protocol needs (none: nothing polls before info);
//  - the start-up to the first byte on the wire: process start to the simulator receiving ATCVER;
//  - the floor: `tqcal --version`, a process that loads the same libraries and does nothing.
//
//   tqcal_bench [--runs N]
#include "bench/benchutil.h"
#include "tools/tq-sim/simulateddevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSysInfo>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const double kBitsPerByte = 10.0; // 8N1: start, eight data bits, stop
const double kBaud = 115200.0;
const int kGapMs = 0;             // info never polls, so no command waits out the 500 ms after a poll

double worst(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

struct Run
{
    bool ok = false;
    double totalMs = 0;
    double firstByteMs = -1;
    double wireMs = 0;
    int commands = 0;
};

Run runOnce(SimulatedDevice &device, const QStringList &arguments,
            const QString &program = QStringLiteral(TQCAL_PROGRAM))
{
    device.clearTranscript();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TQ_CALIBRATOR_PORTS"), device.portName() + QStringLiteral("=BENCH-1"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Run run;
    QElapsedTimer clock;
    const QMetaObject::Connection first =
        QObject::connect(&device, &SimulatedDevice::commandReceived, &device, [&] {
            if (run.firstByteMs < 0)
                run.firstByteMs = clock.nsecsElapsed() / 1e6;
        });
    clock.start();
    process.start(program, arguments);
    const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    run.totalMs = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(first);
    run.ok = ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    qint64 bytes = 0;
    for (const SimulatedDevice::TranscriptEntry &entry : device.transcript()) {
        bytes += entry.bytes.size();
        run.commands += entry.direction == SimulatedDevice::TranscriptEntry::Received;
    }
    run.wireMs = bytes * kBitsPerByte / kBaud * 1000.0;
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 20;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--runs"));
    if (at > 0 && at + 1 < args.size())
        runs = qMax(1, args.at(at + 1).toInt());

    std::printf("# tqcal benchmark\n\n`tqcal info --port P` against the in-process simulator on a pseudo-terminal, replies "
                "without delay, %d runs per model after 2 warm-up; the program started as a process each time "
                "(its whole start-up counted); Qt %s, %s.\n\n",
                runs, qVersion(), qPrintable(QSysInfo::prettyProductName()));
    std::printf("| model | commands | info, median | info, worst | wire time + gaps | budget (+20 %%) | start-up to "
                "first byte, median | worst | first byte to exit, median | met |\n"
                "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");

    const std::vector<std::pair<SimulatedDevice::Model, const char *>> models = {
        {SimulatedDevice::Model::Pm, "PM"},     {SimulatedDevice::Model::Tq20, "TQ20"},
        {SimulatedDevice::Model::Tq21, "TQ21"}, {SimulatedDevice::Model::Tq22, "TQ22"},
        {SimulatedDevice::Model::Tq24, "TQ24"}};
    bool allMet = true;
    std::vector<double> floor, processFloor;
    for (const auto &model : models) {
        SimulatedDevice device(model.first);
        if (!device.open()) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(device.errorString()));
            return 1;
        }
        device.setReplyDelayMs(0);
        const QStringList info = {QStringLiteral("info"), QStringLiteral("--port"), device.portName()};
        std::vector<double> totals, firsts, rests;
        Run last;
        for (int i = 0; i < runs + 2; ++i) {
            last = runOnce(device, info);
            if (!last.ok) {
                std::fprintf(stderr, "tqcal info failed on %s\n", model.second);
                return 1;
            }
            if (i >= 2) {
                totals.push_back(last.totalMs);
                firsts.push_back(last.firstByteMs);
                rests.push_back(last.totalMs - last.firstByteMs);
            }
        }
        if (model.first == SimulatedDevice::Model::Tq24) {
            for (int i = 0; i < runs; ++i) {
                floor.push_back(runOnce(device, {QStringLiteral("--version")}).totalMs);
                processFloor.push_back(runOnce(device, {}, QStringLiteral("/bin/true")).totalMs);
            }
        }
        const double wire = last.wireMs + kGapMs;
        const double budget = wire * 1.2;
        const bool met = median(totals) <= budget && median(firsts) <= 50.0;
        allMet = allMet && met;
        std::printf("| %s | %d | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %s |\n",
                    model.second, last.commands, median(totals), worst(totals), wire, budget, median(firsts),
                    worst(firsts), median(rests), met ? "yes" : "no");
    }
    std::printf("\n`tqcal --version` (process start, libraries, exit; no device): median %.1f ms, worst %.1f ms; "
                "`/bin/true` started the same way: median %.1f ms.\n",
                median(floor), worst(floor), median(processFloor));
    std::printf("\nAll targets met: %s (info within wire time + gaps + 20 %%, first byte within 50 ms).\n",
                allMet ? "yes" : "no");
    return 0;
}
