// Draws the same trend chart (240 points, 700 x 220, date axis, grid, one line with a gap, track
// cursor) with our drawing layer and, where they were built in, with Qt Charts and QCustomPlot,
// and prints milliseconds per full redraw and per overlay-only refresh as a Markdown table.
//
//   chart_bench [--runs N] [--save DIR] [--only TEXT]   (--only keeps the rows whose name holds TEXT)
//
// The output is the Markdown of bench/RESULTS.md: `chart_bench > bench/RESULTS.md` renews it.
#include "bench/benchcase.h"
#include "bench/sampledata.h"
#include "chart/chartview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const QSize kLabelSize(710, 220);
const int kWarmUp = 30;

struct Stats
{
    double median = 0;
    double p90 = 0;
};

Stats measure(const std::function<QImage(int)> &draw, int runs, QImage *last)
{
    for (int i = 0; i < kWarmUp; ++i)
        draw(i);
    std::vector<double> ms;
    ms.reserve(size_t(runs));
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        clock.start();
        QImage image = draw(kWarmUp + i);
        ms.push_back(clock.nsecsElapsed() / 1e6);
        if (i == runs - 1)
            *last = image;
    }
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    return Stats{n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2,
                 ms[std::min(n - 1, (n * 9 + 9) / 10 - 1)]};
}

void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Our layer on its own: a new chart per redraw as the trend chart builds it, cursor at the newest
// sample; the overlay refresh moves the cursor across the plot on the last chart.
BenchCase ourLayerCase()
{
    auto chart = std::make_shared<std::unique_ptr<XYChart>>();
    auto full = [chart](int frame) {
        double times[SampleData::kCount];
        double values[SampleData::kCount];
        SampleData::fill(times, values, Chart::NoValue, SampleData::endTime() + frame, frame);
        *chart = ChartView::makeTrendChart(kLabelSize, times, values, QStringLiteral("CH1"), 1000);
        ChartView::drawTrackCursor(chart->get(), (*chart)->getPlotArea()->getRightX());
        return (*chart)->makeChart();
    };
    auto overlay = [chart](int frame) {
        const PlotArea *area = (*chart)->getPlotArea();
        ChartView::drawTrackCursor(chart->get(), area->getLeftX() + (frame * 7) % area->getWidth());
        return (*chart)->makeChart();
    };
    return BenchCase{QStringLiteral("ours (drawing layer)"), full, overlay};
}

// The same through ChartView and its viewer, up to the image the widget shows. The viewer's own
// 20 ms redraw limit is left out: the redraw is called straight after each new sample.
struct ViewerBench
{
    QWidget panel;
    QChartViewerLabel *label1 = new QChartViewerLabel(&panel);
    QChartViewerLabel *label2 = new QChartViewerLabel(&panel);
    std::unique_ptr<ChartView> view;

    ViewerBench()
    {
        label1->resize(kLabelSize);
        label2->resize(kLabelSize);
        view = std::make_unique<ChartView>(label1, label2);
        double times[SampleData::kCount];
        double values[SampleData::kCount];
        SampleData::fill(times, values, Chart::NoValue);
        for (int i = 0; i < SampleData::kCount; ++i)
            view->addSample(times[i], values[i], values[i]);
        settle();
        QChartViewer *viewer = view->viewer1();
        QMouseEvent move(QEvent::MouseMove, QPoint(viewer->getPlotAreaLeft() + 200, 60), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewer, &move);
    }
};

BenchCase viewerCase()
{
    auto bench = std::make_shared<ViewerBench>();
    auto full = [bench](int frame) {
        const double value = 415 + frame % 17;
        bench->view->addSample(SampleData::endTime() + 1 + frame, value, value);
        bench->view->drawChart();
        return bench->view->viewer1()->chart()->makeChart();
    };
    auto overlay = [bench](int) {
        bench->view->onMouseMovePlotArea(nullptr);
        return bench->view->viewer1()->chart()->makeChart();
    };
    return BenchCase{QStringLiteral("ours (ChartView + QChartViewer, shown image)"), full, overlay};
}

QString cpuName()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QSysInfo::currentCpuArchitecture();
}

QString cell(double ms)
{
    return QString::number(ms, 'f', 3);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 400;
    QString saveDir;
    QString only;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(300, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--save"))
            saveDir = args[i + 1];
        else if (args[i] == QLatin1String("--only"))
            only = args[i + 1];
    }

    QStringList notes;
    std::vector<BenchCase> cases{ourLayerCase(), viewerCase()};
#ifdef TQ_BENCH_QCUSTOMPLOT
    cases.push_back(qCustomPlotCase());
#else
    notes << QStringLiteral("QCustomPlot was not built in (libqcustomplot-dev missing).");
#endif
#ifdef TQ_BENCH_QTCHARTS
    cases.push_back(qtChartsCase());
#else
    notes << QStringLiteral("Qt Charts was not built in (libqt5charts5-dev missing).");
#endif
    cases.erase(std::remove_if(cases.begin(), cases.end(),
                               [&only](const BenchCase &c) { return !c.name.contains(only); }),
                cases.end());

    std::printf(
        "# Trend chart benchmark\n\n"
        "The same trend chart drawn by each library into a QImage: 700 x 220 pixels, 240 points with a "
        "gap, date axis, grid, track cursor with its labels. A full redraw builds the chart anew from "
        "the data moved on by one sample; an overlay refresh only moves the track cursor. "
        "%d timed redraws each after %d warm-up; Qt %s, %s, %s.\n\n"
        "Renew with `build/bench/chart_bench > bench/RESULTS.md` (it runs headless).\n\n",
        runs, kWarmUp, qVersion(), qPrintable(QSysInfo::prettyProductName()), qPrintable(cpuName()));
    std::printf("| library | full redraw median ms | full redraw p90 ms | overlay refresh median ms | "
                "overlay refresh p90 ms |\n|---|---:|---:|---:|---:|\n");
    std::vector<Stats> overlays;
    std::vector<Stats> full;
    for (const BenchCase &c : cases) {
        QImage last;
        const Stats redraw = measure(c.fullRedraw, runs, &last);
        full.push_back(redraw);
        QString overlayMedian = QStringLiteral("n/a");
        QString overlayP90 = QStringLiteral("n/a");
        if (c.overlayRefresh) {
            QImage overlayImage;
            const Stats overlay = measure(c.overlayRefresh, runs, &overlayImage);
            overlays.push_back(overlay);
            overlayMedian = cell(overlay.median);
            overlayP90 = cell(overlay.p90);
        }
        std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(c.name), qPrintable(cell(redraw.median)),
                    qPrintable(cell(redraw.p90)), qPrintable(overlayMedian), qPrintable(overlayP90));
        if (!saveDir.isEmpty()) {
            QDir().mkpath(saveDir);
            QString file = c.name.toLower();
            file.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
            last.save(QDir(saveDir).filePath(file + QStringLiteral(".png")));
        }
    }
    std::printf("\n");
    if (only.isEmpty()) {
        std::printf(
            "- ours: median full redraw %.3f ms (target at most 1.0 ms), overlay refresh %.3f ms (target "
            "at most 0.3 ms).\n",
            full[0].median, overlays[0].median);
        for (size_t i = 2; i < cases.size(); ++i)
            std::printf("- %s takes %.1fx as long as ours per full redraw (median; target at least %dx).\n",
                        qPrintable(cases[i].name), full[i].median / full[0].median,
                        cases[i].name.startsWith(QLatin1String("Qt Charts")) ? 10 : 2);
    }
    for (const QString &note : notes)
        std::printf("- %s\n", qPrintable(note));
    return 0;
}
