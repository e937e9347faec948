// Writes a picture of the two trend charts with sample data: the first with the track cursor
// where a mouse rests, the second with the cursor on the newest sample.
#include "bench/sampledata.h"
#include "chart/chartview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <cstdio>

namespace {
// Lets the viewers' rate-limiting timers run out so every asked-for redraw has happened.
void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/img/trend-chart.png");

    QWidget panel;
    auto *label1 = new QChartViewerLabel(&panel);
    auto *label2 = new QChartViewerLabel(&panel);
    label1->resize(710, 220);
    label2->resize(710, 220);
    ChartView chart(label1, label2);

    double times[SampleData::kCount];
    double values[SampleData::kCount];
    SampleData::fill(times, values, Chart::NoValue);
    for (int i = 0; i < SampleData::kCount; ++i) {
        const double second = Chart::hasValue(values[i]) ? 21.5 + (values[i] - 415) / 8 : Chart::NoValue;
        chart.addSample(times[i], values[i], second);
    }
    settle();

    QChartViewer *viewer = chart.viewer1();
    const QPoint at(viewer->getPlotAreaLeft() + viewer->getPlotAreaWidth() * 3 / 10, 60);
    QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewer, &move);
    settle();

    const QImage top = chart.viewer1()->chart()->makeChart();
    const QImage bottom = chart.viewer2()->chart()->makeChart();
    QImage picture(top.width(), top.height() + bottom.height() + 6, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawImage(0, 0, top);
    painter.drawImage(0, top.height() + 6, bottom);
    painter.end();

    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return 0;
}
