// The benchmark chart drawn with Qt Charts: two line series around the gap, date-time and value
// axes, and the cursor made of graphics items, rendered from the scene into a QImage.
#include "bench/benchcase.h"
#include "bench/sampledata.h"

#include <QCoreApplication>
#include <QGraphicsScene>
#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <memory>

using namespace QtCharts;

namespace {

const QSize kSize(700, 220);

struct QtChartsScene
{
    QGraphicsScene scene;
    QChart *chart = new QChart;
    QLineSeries *before = new QLineSeries;
    QLineSeries *after = new QLineSeries;
    QDateTimeAxis *xAxis = new QDateTimeAxis;
    QValueAxis *yAxis = new QValueAxis;
    QGraphicsLineItem *cursorLine = nullptr;
    QGraphicsRectItem *timeBox = nullptr;
    QGraphicsSimpleTextItem *timeText = nullptr;
    QGraphicsEllipseItem *dot = nullptr;
    QGraphicsRectItem *valueBox = nullptr;
    QGraphicsSimpleTextItem *valueText = nullptr;

    QtChartsScene()
    {
        chart->legend()->hide();
        chart->setBackgroundBrush(QColor(0xF4, 0xF4, 0xF4));
        chart->setBackgroundRoundness(0);
        chart->setPlotAreaBackgroundBrush(Qt::white);
        chart->setPlotAreaBackgroundVisible(true);
        chart->setMargins(QMargins(2, 6, 8, 2));
        chart->setGeometry(QRectF(QPointF(0, 0), kSize));
        const QPen trace(QColor(0x15, 0x15, 0x15), 1);
        before->setPen(trace);
        after->setPen(trace);
        chart->addSeries(before);
        chart->addSeries(after);
        QFont small(QStringLiteral("DejaVu Sans"));
        small.setPixelSize(10);
        xAxis->setLabelsFont(small);
        yAxis->setLabelsFont(small);
        yAxis->setLabelFormat(QStringLiteral("%.0f"));
        xAxis->setFormat(QStringLiteral("hh:mm:ss"));
        xAxis->setTickCount(9);
        xAxis->setGridLineColor(QColor(0xCC, 0xCC, 0xCC));
        yAxis->setGridLineColor(QColor(0xCC, 0xCC, 0xCC));
        chart->addAxis(xAxis, Qt::AlignBottom);
        chart->addAxis(yAxis, Qt::AlignLeft);
        for (QLineSeries *series : {before, after}) {
            series->attachAxis(xAxis);
            series->attachAxis(yAxis);
        }
        scene.addItem(chart);
        scene.setSceneRect(QRectF(QPointF(0, 0), kSize));

        QFont bold(QStringLiteral("DejaVu Sans"));
        bold.setBold(true);
        bold.setPixelSize(11);
        QPen dash(QColor(0x15, 0x15, 0x15), 1);
        dash.setDashPattern({1, 1});
        cursorLine = scene.addLine(QLineF(), dash);
        timeBox = scene.addRect(QRectF(), Qt::NoPen, QColor(0x37, 0x37, 0x37));
        timeText = scene.addSimpleText(QString(), bold);
        timeText->setBrush(QColor(0xE6, 0xE6, 0xE6));
        dot = scene.addEllipse(QRectF(), QPen(QColor(0x15, 0x15, 0x15)), QColor(0x15, 0x15, 0x15));
        valueBox = scene.addRect(QRectF(), Qt::NoPen, QColor(0x15, 0x15, 0x15));
        valueText = scene.addSimpleText(QString(), bold);
        valueText->setBrush(Qt::white);
        for (QGraphicsItem *item :
             std::initializer_list<QGraphicsItem *>{cursorLine, timeBox, timeText, dot, valueBox, valueText})
            item->setZValue(10);
    }

    QImage draw(int frame)
    {
        double times[SampleData::kCount];
        double values[SampleData::kCount];
        const double end = SampleData::endTime() + frame;
        SampleData::fill(times, values, std::nan(""), end, frame);
        QVector<QPointF> first;
        QVector<QPointF> second;
        double low = 1e300;
        double high = -1e300;
        for (int i = 0; i < SampleData::kCount; ++i) {
            if (std::isnan(values[i]))
                continue;
            (i < SampleData::kGapFirst ? first : second).append(QPointF(times[i] * 1000, values[i]));
            low = std::min(low, values[i]);
            high = std::max(high, values[i]);
        }
        before->replace(first);
        after->replace(second);
        xAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(end - 240) * 1000),
                        QDateTime::fromMSecsSinceEpoch(qint64(end) * 1000));
        yAxis->setRange(low, high);
        yAxis->applyNiceNumbers();
        QCoreApplication::sendPostedEvents();

        const QRectF area = chart->plotArea();
        const QPointF point = chart->mapToPosition(second.last(), after);
        cursorLine->setLine(point.x(), area.top(), point.x(), area.bottom());
        timeText->setText(
            QDateTime::fromMSecsSinceEpoch(qint64(end) * 1000).toString(QStringLiteral("hh:mm:ss ")));
        const QRectF timeRect = timeText->boundingRect();
        const double timeX =
            std::max(0.0, std::min(point.x() - timeRect.width() / 2, kSize.width() - timeRect.width()));
        timeText->setPos(timeX, area.bottom() + 6);
        timeBox->setRect(QRectF(QPointF(timeX, area.bottom() + 6), timeRect.size()));
        dot->setRect(QRectF(point.x() - 4, point.y() - 4, 8, 8));
        valueText->setText(QStringLiteral(" %1 ").arg(second.last().y(), 0, 'f', 2));
        const QRectF valueRect = valueText->boundingRect();
        const QPointF valueAt(point.x() - 5 - valueRect.width(), point.y() - valueRect.height() / 2);
        valueText->setPos(valueAt);
        valueBox->setRect(QRectF(valueAt, valueRect.size()));

        QImage image(kSize, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, QRectF(QPointF(0, 0), kSize), QRectF(QPointF(0, 0), kSize));
        return image;
    }
};

} // namespace

BenchCase qtChartsCase()
{
    auto scene = std::make_shared<QtChartsScene>();
    return BenchCase{QStringLiteral("Qt Charts %1").arg(QLatin1String(qVersion())),
                     [scene](int frame) { return scene->draw(frame); }, nullptr};
}
