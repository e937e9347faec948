#include "chart/chartview.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>

#include <algorithm>
#include <utility>

namespace {

const Chart::Color kBackground = 0xF4F4F4;
const Chart::Color kEdge = 0x000000;
const Chart::Color kPlotBackground = 0xFFFFFF;
const Chart::Color kGrid = 0xCCCCCC;
const Chart::Color kTrace = 0x151515;
const Chart::Color kTimeBox = 0x373737;
const Chart::Color kTimeText = 0xE6E6E6;
const Chart::Color kValueText = 0xFFFFFF;

} // namespace

ChartView::ChartView(QChartViewerLabel *label1, QChartViewerLabel *label2, QObject *parent) : QObject(parent)
{
    std::fill(std::begin(m_timeStamps), std::end(m_timeStamps), Chart::NoValue);
    std::fill(std::begin(m_values1), std::end(m_values1), Chart::NoValue);
    std::fill(std::begin(m_values2), std::end(m_values2), Chart::NoValue);
    setUpTrace(0, label1, m_values1, QStringLiteral("CH1"));
    setUpTrace(1, label2, m_values2, QStringLiteral("CH2"));
    updateChart();
}

ChartView::~ChartView()
{
    for (Trace &trace : m_charts) {
        if (trace.viewer)
            trace.viewer->setChart(nullptr);
    }
}

void ChartView::setUpTrace(int index, QChartViewerLabel *label, const double *values, const QString &name)
{
    Trace &trace = m_charts[index];
    trace.label = label;
    trace.values = values;
    trace.name = name;
    if (!label)
        return;
    trace.viewer = new QChartViewer(label);
    trace.viewer->show();
    trace.viewer->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(trace.viewer, &QWidget::customContextMenuRequested, this, [this, index](const QPoint &pos) {
        QChartViewer *viewer = m_charts[index].viewer;
        QMenu *menu = pictureMenu(index, viewer);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(viewer->mapToGlobal(pos));
    });
    if (index == 0) {
        connect(trace.viewer, &QChartViewer::viewPortChanged, this, &ChartView::drawChart);
        connect(trace.viewer, &QChartViewer::mouseMovePlotArea, this, &ChartView::onMouseMovePlotArea);
        connect(label, &QChartViewerLabel::refreshChart, this, &ChartView::drawChart);
    } else {
        connect(trace.viewer, &QChartViewer::viewPortChanged, this, &ChartView::drawChart2);
        connect(trace.viewer, &QChartViewer::mouseMovePlotArea, this, &ChartView::onMouseMovePlotArea2);
        connect(label, &QChartViewerLabel::refreshChart, this, &ChartView::drawChart2);
    }
}

QImage ChartView::picture(int chart) const
{
    const QChartViewer *viewer = m_charts[chart ? 1 : 0].viewer;
    return viewer ? const_cast<QChartViewer *>(viewer)->grab().toImage() : QImage();
}

QMenu *ChartView::pictureMenu(int chart, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->addAction(tr("Save picture…"), this, [this, chart, parent] {
        const QString path = QFileDialog::getSaveFileName(
            parent, tr("Save picture"), m_charts[chart ? 1 : 0].name + QLatin1String(".png"),
            tr("PNG images (*.png)"));
        if (!path.isEmpty() && !picture(chart).save(path, "PNG"))
            QMessageBox::warning(parent, tr("Save picture"),
                                 tr("The picture could not be saved to %1.").arg(path));
    });
    menu->addAction(tr("Copy"), this,
                    [this, chart] { QGuiApplication::clipboard()->setImage(picture(chart)); });
    return menu;
}

void ChartView::addSample(double chartTime, double value1, double value2)
{
    const int last = kSampleCount - 1;
    if (chartTime != m_timeStamps[last]) {
        std::copy(m_timeStamps + 1, m_timeStamps + kSampleCount, m_timeStamps);
        std::copy(m_values1 + 1, m_values1 + kSampleCount, m_values1);
        std::copy(m_values2 + 1, m_values2 + kSampleCount, m_values2);
        m_timeStamps[last] = chartTime;
    }
    m_values1[last] = value1;
    m_values2[last] = value2;
    updateChart();
}

void ChartView::clearSamples()
{
    std::fill(std::begin(m_timeStamps), std::end(m_timeStamps), Chart::NoValue);
    std::fill(std::begin(m_values1), std::end(m_values1), Chart::NoValue);
    std::fill(std::begin(m_values2), std::end(m_values2), Chart::NoValue);
    updateChart();
}

void ChartView::clearChart(int chart)
{
    double *values = chart ? m_values2 : m_values1;
    std::fill(values, values + kSampleCount, Chart::NoValue);
    updateChart();
}

void ChartView::setHeld(bool held)
{
    m_held = held;
    if (!held && std::exchange(m_drawnWhileHeld, false))
        updateChart();
}

void ChartView::updateChart()
{
    if (m_held) {
        m_drawnWhileHeld = true;
        return;
    }
    for (Trace &trace : m_charts) {
        if (trace.viewer)
            trace.viewer->requestViewPortUpdate(true, true);
    }
}

void ChartView::drawChart()
{
    draw(0);
}

void ChartView::drawChart2()
{
    draw(1);
}

void ChartView::onMouseMovePlotArea(QMouseEvent *)
{
    trackMouse(0);
}

void ChartView::onMouseMovePlotArea2(QMouseEvent *)
{
    trackMouse(1);
}

std::unique_ptr<XYChart> ChartView::makeTrendChart(QSize labelSize, const double *timeStamps,
                                                   const double *values, const QString &name, int pollMs)
{
    const int w = labelSize.width();
    const int h = labelSize.height();
    auto chart = std::make_unique<XYChart>(w - 10, h, kBackground, kEdge, 1);
    chart->setPlotArea(45, 15, w - 60, h - 45, kPlotBackground, 0x000000, kGrid, kGrid);
    chart->xAxis()->setTickDensity(75, 15);
    chart->xAxis()->setWidth(2);
    chart->yAxis()->setWidth(2);

    if (Chart::hasValue(timeStamps[kSampleCount - 1])) {
        chart->xAxis()->setLabelFormat(QStringLiteral("{value|hh:nn:ss}"));
        chart->addLineLayer2()->addDataSet(values, kSampleCount, kTrace, name);
        moveTrendData(chart.get(), timeStamps, values, pollMs);
    }
    return chart;
}

bool ChartView::moveTrendData(XYChart *chart, const double *timeStamps, const double *values, int pollMs)
{
    const double newest = timeStamps[kSampleCount - 1];
    Layer *layer = chart->getLayerCount() == 1 ? chart->getLayerByZ(0) : nullptr;
    if (!layer || layer->getDataSetCount() != 1 || !Chart::hasValue(newest))
        return false;
    const int span = std::max(1, pollMs * kSampleCount / 1000);
    chart->xAxis()->setDateScale(newest - span, newest);
    layer->setXData(timeStamps, kSampleCount);
    layer->getDataSetByZ(0)->setValues(values, kSampleCount);
    chart->dataChanged();
    return true;
}

ChartView::TrackCursor ChartView::drawTrackCursor(XYChart *chart, int mouseX)
{
    TrackCursor cursor;
    DrawArea *d = chart->initDynamicLayer();
    const PlotArea *plotArea = chart->getPlotArea();
    const double xValue = chart->getNearestXValue(mouseX);
    if (!Chart::hasValue(xValue))
        return cursor;

    const int top = plotArea->getTopY();
    const int bottom = plotArea->getBottomY();
    const int xCoor = chart->getXCoor(xValue);
    d->vline(top, bottom, xCoor, d->dashLineColor(kTrace, 0x0101));
    cursor.shown = true;
    cursor.xValue = xValue;
    cursor.xCoor = xCoor;
    cursor.timeLabel = chart->xAxis()->getFormattedLabel(xValue, QStringLiteral("hh:nn:ss"));

    TTFText timeText = d->text(cursor.timeLabel + QLatin1Char(' '), Chart::boldLabelFont(), kTimeBox);
    const int timeX =
        std::max(0, std::min(xCoor - timeText.getWidth() / 2, chart->getWidth() - timeText.getWidth()));
    timeText.draw(timeX, bottom + 6, kTimeText, Chart::TopLeft);

    const bool leftHalf = xCoor <= (plotArea->getLeftX() + plotArea->getRightX()) / 2;
    for (int i = 0; i < chart->getLayerCount(); ++i) {
        const Layer *layer = chart->getLayerByZ(i);
        const int xIndex = layer->getXIndexOf(xValue, 0);
        for (int j = 0; j < layer->getDataSetCount(); ++j) {
            const DataSet *dataSet = layer->getDataSetByZ(j);
            const Chart::Color color = dataSet->getDataColor();
            if (dataSet->getDataName().isEmpty() || (color & 0xFF000000) == Chart::Transparent)
                continue;
            const double value = dataSet->getValue(xIndex);
            // A gap has no point to mark; its "N/A" stands at mid height.
            const bool gap = !Chart::hasValue(value);
            const int yCoor = gap ? (top + bottom) / 2
                                  : chart->getYCoor(dataSet->getPosition(xIndex), dataSet->getUseYAxis());
            if (yCoor < top || yCoor > bottom)
                continue;
            if (!gap)
                d->circle(xCoor, yCoor, 4, 4, color, color);
            const QString valueText = gap ? ChartView::tr("N/A") : XYChart::formatValue(value, 2);
            TTFText label =
                d->text(QLatin1Char(' ') + valueText + QLatin1Char(' '), Chart::boldLabelFont(), color);
            const QPoint anchor(leftHalf ? xCoor + 5 : xCoor - 5, yCoor);
            const int alignment = leftHalf ? Chart::Left : Chart::Right;
            label.draw(anchor.x(), anchor.y(), kValueText, alignment);
            cursor.values.append(ValueLabel{valueText, anchor, alignment});
        }
    }
    return cursor;
}

void ChartView::draw(int index)
{
    Trace &trace = m_charts[index];
    if (!trace.viewer || !trace.label)
        return;
    const QSize size = trace.label->size();
    const qreal ratio = trace.viewer->devicePixelRatioF();
    // Only the data moved: the chart keeps its frame and layer and takes the new samples in place.
    std::unique_ptr<XYChart> old;
    if (!trace.chart || trace.chartSize != size || trace.chartRatio != ratio ||
        !moveTrendData(trace.chart.get(), m_timeStamps, trace.values, m_pollPeriodMs)) {
        old = std::move(trace.chart);
        trace.chart = makeTrendChart(size, m_timeStamps, trace.values, trace.name, m_pollPeriodMs);
        trace.chart->setDevicePixelRatio(ratio);
        trace.chartSize = size;
        trace.chartRatio = ratio;
    }
    XYChart *chart = trace.chart.get();
    const int mouseX =
        trace.viewer->mouseOnPlotArea() ? trace.viewer->plotAreaMouseX() : chart->getPlotArea()->getRightX();
    trace.cursor = drawTrackCursor(chart, mouseX);
    // The old chart goes only once the viewer shows the new one.
    trace.viewer->setChart(chart);
}

void ChartView::trackMouse(int index)
{
    Trace &trace = m_charts[index];
    if (!trace.viewer || !trace.chart)
        return;
    trace.cursor = drawTrackCursor(trace.chart.get(), trace.viewer->plotAreaMouseX());
    trace.viewer->refreshDisplay();
}
