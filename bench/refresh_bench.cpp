// Runs the full refresh of the particulate-matter panel against the in-process simulator over a
// pseudo-terminal (no baud-rate limit there) and prints, as Markdown:
//  - the time from the first refresh command written to the end of the sequence;
//  - the tool's overhead per step: from a reply leaving the simulator to the next command reaching
//    it (an upper bound: it includes two pty hops);
//  - the wire time of the same bytes at 115200 baud 8N1, for comparison.
//
//   refresh_bench [--runs N]
#include "app/mainwindow.h"
#include "widgets/messageboxes.h"
#include "app/selectdevice.h"
#include "panels/panelregistry.h"
#include "panels/pmcalibrator.h"
#include "bench/benchutil.h"
#include "tools/tq-sim/simulateddevice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSysInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const double kBitsPerByte = 10.0; // 8N1: start, eight data bits, stop
const double kBaud = 115200.0;

struct Run
{
    double totalMs = 0;            // first command written .. END_SEQ
    std::vector<double> gapsMs;    // reply sent .. next command received, per step
    double lastGapMs = 0;          // last reply sent .. END_SEQ handled
    qint64 wireBytes = 0;
    int commands = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int runs = 50;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--runs"));
    if (at > 0 && at + 1 < args.size())
        runs = qMax(1, args.at(at + 1).toInt());

    registerPanels();
    MessageBoxes::setResponder([](const MessageBoxes::Request &request) {
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    });

    SimulatedDevice sim(SimulatedDevice::Model::Pm);
    if (!sim.open()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    sim.setReplyDelayMs(0);
    MainWindow window;
    window.setPollPeriodMs(10000); // no poll between the measured refreshes
    const QList<Dev_info> devices = {{sim.portName(), QStringLiteral("SIM-PM-BENCH")}};
    window.setDeviceScanner([&devices] { return devices; });
    window.checkConnection();
    auto *list = window.findChild<QListWidget *>(QStringLiteral("listWidget"));
    emit list->itemActivated(list->item(0));
    auto idle = [&window] {
        auto *panel = qobject_cast<PmCalibrator *>(window.panelWidget());
        return panel && panel->mode() == Calibrator::DEFAULT && panel->seq() == Cmd::NoCommand &&
               window.pollTimer()->isActive();
    };
    if (!waitFor(idle, 5000)) {
        std::fprintf(stderr, "the panel did not finish its first refresh\n");
        return 1;
    }
    auto *panel = qobject_cast<PmCalibrator *>(window.panelWidget());

    QElapsedTimer clock;
    clock.start();
    qint64 lastSentNs = -1;
    Run current;
    QObject::connect(&sim, &SimulatedDevice::commandReceived, [&](const QByteArray &line) {
        const qint64 now = clock.nsecsElapsed();
        if (lastSentNs >= 0)
            current.gapsMs.push_back((now - lastSentNs) / 1e6);
        lastSentNs = -1;
        current.wireBytes += line.size();
        ++current.commands;
    });
    QObject::connect(&sim, &SimulatedDevice::replySent, [&](const QByteArray &line) {
        lastSentNs = clock.nsecsElapsed();
        current.wireBytes += line.size();
    });

    std::vector<Run> results;
    for (int i = 0; i < runs + 3; ++i) {
        window.setPollTimerActive(false);
        current = Run();
        lastSentNs = -1;
        const qint64 start = clock.nsecsElapsed();
        panel->startRefreshSequence(); // the 500 ms start delay is left out
        if (!waitFor([&] { return panel->seq() == Cmd::NoCommand && panel->mode() == Calibrator::DEFAULT; }, 5000)) {
            std::fprintf(stderr, "refresh %d did not end\n", i);
            return 1;
        }
        const qint64 end = clock.nsecsElapsed();
        current.totalMs = (end - start) / 1e6;
        current.lastGapMs = lastSentNs >= 0 ? (end - lastSentNs) / 1e6 : 0;
        if (i >= 3) // warm-up
            results.push_back(current);
    }

    std::vector<double> totals, steps, overheads;
    double wireMs = 0;
    int commands = 0;
    for (const Run &run : results) {
        totals.push_back(run.totalMs);
        steps.insert(steps.end(), run.gapsMs.begin(), run.gapsMs.end());
        steps.push_back(run.lastGapMs);
        double sum = run.lastGapMs;
        for (double gap : run.gapsMs)
            sum += gap;
        overheads.push_back(sum);
        wireMs = run.wireBytes * kBitsPerByte / kBaud * 1000.0;
        commands = run.commands;
    }
    const double worstStep = *std::max_element(steps.begin(), steps.end());
    const double overhead = median(overheads);

    std::printf("# Refresh benchmark\n\n");
    std::printf("The particulate-matter panel's full refresh (%d commands) against the in-process simulator "
                "on a pseudo-terminal, through the main window and a real QSerialPort, %d runs after 3 "
                "warm-up; Qt %s, %s.\n\n",
                commands, int(results.size()), qVersion(), qPrintable(QSysInfo::prettyProductName()));
    std::printf("| figure | value |\n|---|---:|\n");
    std::printf("| first command written to END_SEQ, median | %.3f ms |\n", median(totals));
    std::printf("| tool overhead per step, median | %.3f ms |\n", median(steps));
    std::printf("| tool overhead per step, worst | %.3f ms |\n", worstStep);
    std::printf("| tool overhead per refresh, median | %.3f ms |\n", overhead);
    std::printf("| wire time of the same bytes at 115200 baud 8N1 | %.3f ms |\n", wireMs);
    std::printf("\n- overhead per step: median %.3f ms (target under 0.5 ms): %s\n", median(steps),
                median(steps) < 0.5 ? "met" : "NOT met");
    std::printf("- overhead per refresh: %.1f%% of the wire time (target under 20%%): %s\n",
                100.0 * overhead / wireMs, overhead < wireMs / 5 ? "met" : "NOT met");
    std::printf("- a step's overhead runs from the reply's last byte leaving the simulator to the next command "
                "reaching it, so it includes two pty hops and the tool's log window.\n");
    return 0;
}
