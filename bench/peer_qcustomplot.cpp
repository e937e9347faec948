// The benchmark chart drawn with QCustomPlot: one graph with NaN for the gap, a date-time ticker,
// and the cursor made of plot items, painted into a QImage.
#include "bench/benchcase.h"
#include "bench/sampledata.h"

#include <cmath>
#include <memory>
#include <qcustomplot.h>

namespace {

const QSize kSize(700, 220);

struct QCustomPlotScene
{
    QCustomPlot plot;
    QCPGraph *graph = nullptr;
    QCPItemStraightLine *cursorLine = nullptr;
    QCPItemTracer *dot = nullptr;
    QCPItemText *timeText = nullptr;
    QCPItemText *valueText = nullptr;

    QCustomPlotScene()
    {
        plot.resize(kSize);
        plot.setBackground(QColor(0xF4, 0xF4, 0xF4));
        plot.axisRect()->setBackground(Qt::white);
        graph = plot.addGraph();
        graph->setPen(QPen(QColor(0x15, 0x15, 0x15), 1));
        QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
        ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
        ticker->setTickCount(8);
        plot.xAxis->setTicker(ticker);
        plot.xAxis->grid()->setPen(QPen(QColor(0xCC, 0xCC, 0xCC)));
        plot.yAxis->grid()->setPen(QPen(QColor(0xCC, 0xCC, 0xCC)));
        QFont small(QStringLiteral("DejaVu Sans"));
        small.setPixelSize(10);
        plot.xAxis->setTickLabelFont(small);
        plot.yAxis->setTickLabelFont(small);
        plot.xAxis->setBasePen(QPen(Qt::black, 2));
        plot.yAxis->setBasePen(QPen(Qt::black, 2));

        QFont bold(QStringLiteral("DejaVu Sans"));
        bold.setBold(true);
        bold.setPixelSize(11);
        QPen dash(QColor(0x15, 0x15, 0x15), 1);
        dash.setDashPattern({1, 1});
        cursorLine = new QCPItemStraightLine(&plot);
        cursorLine->setPen(dash);
        cursorLine->setClipToAxisRect(false);
        dot = new QCPItemTracer(&plot);
        dot->setStyle(QCPItemTracer::tsCircle);
        dot->setSize(8);
        dot->setPen(QPen(QColor(0x15, 0x15, 0x15)));
        dot->setBrush(QColor(0x15, 0x15, 0x15));
        dot->setClipToAxisRect(false);
        timeText = new QCPItemText(&plot);
        timeText->setFont(bold);
        timeText->setColor(QColor(0xE6, 0xE6, 0xE6));
        timeText->setBrush(QColor(0x37, 0x37, 0x37));
        timeText->setClipToAxisRect(false);
        timeText->setPositionAlignment(Qt::AlignTop | Qt::AlignHCenter);
        timeText->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        valueText = new QCPItemText(&plot);
        valueText->setFont(bold);
        valueText->setColor(Qt::white);
        valueText->setBrush(QColor(0x15, 0x15, 0x15));
        valueText->setPositionAlignment(Qt::AlignRight | Qt::AlignVCenter);
        valueText->setPadding(QMargins(0, 0, 5, 0));
    }

    QImage draw(int frame)
    {
        double times[SampleData::kCount];
        double values[SampleData::kCount];
        const double end = SampleData::endTime() + frame;
        SampleData::fill(times, values, std::nan(""), end, frame);
        QVector<double> keys(SampleData::kCount);
        QVector<double> data(SampleData::kCount);
        std::copy(times, times + SampleData::kCount, keys.begin());
        std::copy(values, values + SampleData::kCount, data.begin());
        graph->setData(keys, data, true);
        plot.xAxis->setRange(end - 240, end);
        graph->rescaleValueAxis(false, true);
        plot.yAxis->scaleRange(1.2);

        cursorLine->point1->setCoords(end, 0);
        cursorLine->point2->setCoords(end, 1);
        dot->setGraph(graph);
        dot->setGraphKey(end);
        timeText->position->setCoords(end, 1.0);
        timeText->setText(QDateTime::fromSecsSinceEpoch(qint64(end)).toString(QStringLiteral("hh:mm:ss ")));
        valueText->position->setCoords(end, values[SampleData::kCount - 1]);
        valueText->setText(QStringLiteral(" %1 ").arg(values[SampleData::kCount - 1], 0, 'f', 2));

        QImage image(kSize, QImage::Format_RGB32);
        image.fill(Qt::white);
        QCPPainter painter(&image);
        plot.toPainter(&painter, kSize.width(), kSize.height());
        return image;
    }
};

} // namespace

BenchCase qCustomPlotCase()
{
    auto scene = std::make_shared<QCustomPlotScene>();
    return BenchCase{QStringLiteral("QCustomPlot %1").arg(QLatin1String(QCUSTOMPLOT_VERSION_STR)),
                     [scene](int frame) { return scene->draw(frame); }, nullptr};
}
