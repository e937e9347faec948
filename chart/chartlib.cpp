#include "chart/chartlib.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QStaticText>
#include <QtMath>
#include <algorithm>
#include <cstring>
#include <limits>

namespace Chart {

double chartTime2(qint64 unixSeconds)
{
    return double(unixSeconds);
}

QColor toQColor(Color color)
{
    return QColor::fromRgb(qRgba(qRed(color), qGreen(color), qBlue(color), 255 - qAlpha(color)));
}

namespace {
QFont labelFont(bool bold, int pixelSize)
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("DejaVu Sans"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    font.setPixelSize(pixelSize);
    return font;
}
} // namespace

const QFont &boldLabelFont()
{
    static const QFont font = labelFont(true, 11);
    return font;
}

const QFont &axisLabelFont()
{
    static const QFont font = labelFont(false, 10);
    return font;
}

} // namespace Chart

namespace {

const int kMajorTickLength = 3;
const int kMinorTickLength = 2;
const int kLabelGap = 2;
const int kExtendedMargin = 5;
const double kPixelLimit = 1e5;

bool isOpaque(Chart::Color color)
{
    return qAlpha(color) != 0xFF;
}

// Vertices on pixel edges across and pixel centres down: flat runs then fill whole pixels
// instead of fading where two anti-aliased segments meet.
QPointF linePoint(double x, double y)
{
    x = qBound(-kPixelLimit, x, kPixelLimit);
    y = qBound(-kPixelLimit, y, kPixelLimit);
    return QPointF(std::floor(x + 0.5), std::floor(y + 0.5) + 0.5);
}

int roundPixel(double value)
{
    return int(std::floor(qBound(-kPixelLimit, value, kPixelLimit) + 0.5));
}

// Local time's offset from UTC. Asking the C library costs a file check per call, so the answer
// is kept for the minute; zones change their offsets only on whole minutes.
int utcOffsetAt(double unixSeconds)
{
    static qint64 minute = std::numeric_limits<qint64>::min();
    static int offset = 0;
    const qint64 thisMinute = qint64(std::floor(unixSeconds / 60));
    if (thisMinute != minute) {
        minute = thisMinute;
        offset = QDateTime::fromSecsSinceEpoch(thisMinute * 60).offsetFromUtc();
    }
    return offset;
}

// A one-pixel frame just inside `rect`; filled strips cost far less than stroking a rectangle.
void outline(QPainter &painter, const QRect &rect, const QColor &color)
{
    painter.fillRect(rect.left(), rect.top(), rect.width(), 1, color);
    painter.fillRect(rect.left(), rect.bottom(), rect.width(), 1, color);
    painter.fillRect(rect.left(), rect.top(), 1, rect.height(), color);
    painter.fillRect(rect.right(), rect.top(), 1, rect.height(), color);
}

// Images of charts gone by, reused so a redraw writes into pages already mapped instead of
// faulting in fresh ones. An image still shown elsewhere waits here until it is free.
std::vector<QImage> &imagePool()
{
    static std::vector<QImage> pool;
    return pool;
}

QImage takeImage(QSize size, qreal ratio)
{
    std::vector<QImage> &pool = imagePool();
    for (auto it = pool.begin(); it != pool.end(); ++it) {
        if (it->size() == size && it->isDetached()) {
            QImage image = std::move(*it);
            pool.erase(it);
            image.setDevicePixelRatio(ratio);
            return image;
        }
    }
    QImage image(size, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

void giveBackImage(QImage &image)
{
    const size_t kPoolSize = 8;
    if (image.isNull())
        return;
    std::vector<QImage> &pool = imagePool();
    if (pool.size() >= kPoolSize)
        pool.erase(pool.begin());
    pool.push_back(std::move(image));
    image = QImage();
}

// Labels laid out once and kept, so a redraw does not shape the same digits again. Bounded: it
// starts afresh when full.
const QStaticText &laidOutText(const QString &text, const QFont &font)
{
    using Cache = std::vector<std::pair<QFont, QHash<QString, QStaticText>>>;
    // Laid-out text refers to font engines, so it must go while the application still exists.
    static Cache *caches = nullptr;
    if (!caches) {
        caches = new Cache;
        qAddPostRoutine([] {
            delete caches;
            caches = nullptr;
        });
    }
    auto byFont = std::find_if(caches->begin(), caches->end(),
                               [&font](const auto &entry) { return entry.first == font; });
    if (byFont == caches->end())
        byFont = caches->insert(caches->end(), {font, {}});
    QHash<QString, QStaticText> &cache = byFont->second;
    auto it = cache.constFind(text);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() >= 1024)
        cache.clear();
    QStaticText staticText(text);
    staticText.setTextFormat(Qt::PlainText);
    staticText.setPerformanceHint(QStaticText::AggressiveCaching);
    staticText.prepare(QTransform(), font);
    return *cache.insert(text, staticText);
}

} // namespace

void Axis::setTickDensity(int majorPixels, int minorPixels)
{
    m_majorDensity = std::max(1, majorPixels);
    m_minorDensity = std::max(0, minorPixels);
}

void Axis::setDateScale(double low, double high)
{
    if (!(high > low))
        high = low + 1;
    m_dateScale = true;
    m_hasScale = true;
    m_scale = ChartMath::Scale{low, high, 0, 0};
    m_utcOffset = utcOffsetAt(high);
}

QString Axis::getFormattedLabel(double value, const QString &format) const
{
    Q_UNUSED(format)
    return ChartMath::formatTime(value, m_utcOffset);
}

double DataSet::getValue(int i) const
{
    if (i < 0 || i >= int(m_values.size()))
        return Chart::NoValue;
    return m_values[size_t(i)];
}

void DataSet::setValues(const double *values, int count)
{
    m_values.assign(values, values + std::max(0, count));
}

void Layer::setXData(const double *xs, int count)
{
    m_xData.assign(xs, xs + std::max(0, count));
}

DataSet *Layer::addDataSet(const double *values, int count, Chart::Color color, const QString &name)
{
    auto dataSet = std::make_unique<DataSet>();
    dataSet->m_values.assign(values, values + std::max(0, count));
    dataSet->m_color = color;
    dataSet->m_name = name;
    dataSet->m_axis = m_yAxis;
    m_dataSets.push_back(std::move(dataSet));
    return m_dataSets.back().get();
}

DataSet *Layer::getDataSetByZ(int i) const
{
    return i >= 0 && i < getDataSetCount() ? m_dataSets[size_t(i)].get() : nullptr;
}

int Layer::getXIndexOf(double xValue, double tolerance) const
{
    return ChartMath::indexOf(m_xData.data(), int(m_xData.size()), xValue, tolerance);
}

void LineLayer::draw(QPainter &painter, const XYChart &chart) const
{
    QVector<QPointF> run;
    run.reserve(int(m_xData.size()));
    auto flush = [&] {
        if (run.size() > 1)
            painter.drawPolyline(run.constData(), run.size());
        run.clear();
    };
    for (const auto &dataSet : m_dataSets) {
        if (!isOpaque(dataSet->m_color))
            continue;
        painter.setPen(QPen(Chart::toQColor(dataSet->m_color), 1));
        size_t count = std::min(m_xData.size(), dataSet->m_values.size());
        for (size_t i = 0; i < count; ++i) {
            double x = m_xData[i];
            double y = dataSet->m_values[i];
            if (Chart::hasValue(x) && Chart::hasValue(y))
                run.append(linePoint(chart.xToPixel(x), chart.yToPixel(y)));
            else
                flush();
        }
        flush();
    }
}

TTFText::TTFText(QImage *image, const QString &text, const QFont &font, Chart::Color boxColor)
    : m_image(image), m_text(text), m_font(font), m_boxColor(boxColor)
{
    m_width = qCeil(laidOutText(text, font).size().width());
    m_height = QFontMetrics(font).height();
}

void TTFText::draw(int x, int y, Chart::Color color, int alignment)
{
    if (!m_image || m_image->isNull())
        return;
    int left = alignment == Chart::Right ? x - m_width : x;
    int top = alignment == Chart::TopLeft ? y : y - m_height / 2;
    QPainter painter(m_image);
    if (isOpaque(m_boxColor))
        painter.fillRect(QRect(left, top, m_width, m_height), Chart::toQColor(m_boxColor));
    if (isOpaque(color)) {
        painter.setFont(m_font);
        painter.setPen(Chart::toQColor(color));
        painter.drawStaticText(QPoint(left, top), laidOutText(m_text, m_font));
    }
}

QPen DrawArea::dashLineColor(Chart::Color color, quint32 pattern) const
{
    QPen pen(Chart::toQColor(color), 1);
    QVector<qreal> dashes;
    for (; pattern; pattern >>= 8) {
        if (pattern & 0xFF)
            dashes.append(pattern & 0xFF);
    }
    if (dashes.size() % 2)
        dashes.append(dashes.last());
    if (!dashes.isEmpty())
        pen.setDashPattern(dashes);
    return pen;
}

void DrawArea::vline(int y1, int y2, int x, const QPen &pen)
{
    QPainter painter(m_image);
    painter.setPen(pen);
    painter.drawLine(QPoint(x, y1), QPoint(x, y2));
}

void DrawArea::circle(int cx, int cy, int rx, int ry, Chart::Color edgeColor, Chart::Color fillColor)
{
    QPainter painter(m_image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(isOpaque(edgeColor) ? QPen(Chart::toQColor(edgeColor), 1) : QPen(Qt::NoPen));
    painter.setBrush(isOpaque(fillColor) ? QBrush(Chart::toQColor(fillColor)) : QBrush(Qt::NoBrush));
    painter.drawEllipse(QPointF(cx + 0.5, cy + 0.5), rx, ry);
}

TTFText DrawArea::text(const QString &text, const QFont &font, Chart::Color boxColor)
{
    return TTFText(m_image, text, font, boxColor);
}

XYChart::XYChart(int width, int height, Chart::Color background, Chart::Color edge, int raisedEffect)
    : m_width(std::max(1, width)), m_height(std::max(1, height)), m_background(background), m_edge(edge),
      m_raisedEffect(std::max(0, raisedEffect))
{
    m_xAxis.m_majorDensity = 50;
}

XYChart::~XYChart()
{
    giveBackImage(m_image);
    giveBackImage(m_dynamicImage);
}

PlotArea *XYChart::setPlotArea(int x, int y, int width, int height, Chart::Color background,
                               Chart::Color edge, Chart::Color hGrid, Chart::Color vGrid)
{
    m_plotArea.m_left = x;
    m_plotArea.m_top = y;
    m_plotArea.m_width = std::max(1, width);
    m_plotArea.m_height = std::max(1, height);
    m_plotArea.m_background = background;
    m_plotArea.m_edge = edge;
    m_plotArea.m_hGrid = hGrid;
    m_plotArea.m_vGrid = vGrid;
    m_laidOut = false;
    return &m_plotArea;
}

PlotArea *XYChart::getPlotArea()
{
    layout();
    return &m_plotArea;
}

LineLayer *XYChart::addLineLayer2()
{
    auto layer = std::make_unique<LineLayer>();
    layer->m_yAxis = &m_yAxis;
    LineLayer *result = layer.get();
    m_layers.push_back(std::move(layer));
    m_laidOut = false;
    return result;
}

Layer *XYChart::getLayerByZ(int i) const
{
    return i >= 0 && i < getLayerCount() ? m_layers[size_t(i)].get() : nullptr;
}

void XYChart::layout()
{
    if (m_laidOut)
        return;
    m_laidOut = true;
    if (m_xAxis.m_dateScale) {
        ChartMath::Scale &scale = m_xAxis.m_scale;
        double span = scale.high - scale.low;
        scale.majorStep = ChartMath::dateMajorStep(span, m_plotArea.m_width, m_xAxis.m_majorDensity);
        scale.minorStep =
            m_xAxis.m_minorDensity > 0
                ? ChartMath::dateMinorStep(scale.majorStep, span, m_plotArea.m_width, m_xAxis.m_minorDensity)
                : 0;
    }
    fitYAxis();
}

void XYChart::fitYAxis()
{
    double lo = 0;
    double hi = 0;
    bool any = false;
    bool limitX = m_xAxis.m_hasScale;
    for (const auto &layer : m_layers) {
        for (const auto &dataSet : layer->m_dataSets) {
            size_t count = std::min(layer->m_xData.size(), dataSet->m_values.size());
            for (size_t i = 0; i < count; ++i) {
                double x = layer->m_xData[i];
                double y = dataSet->m_values[i];
                if (!Chart::hasValue(x) || !Chart::hasValue(y))
                    continue;
                if (limitX && (x < m_xAxis.m_scale.low || x > m_xAxis.m_scale.high))
                    continue;
                lo = any ? std::min(lo, y) : y;
                hi = any ? std::max(hi, y) : y;
                any = true;
            }
        }
    }
    m_yAxis.m_hasScale = any;
    m_yAxis.m_scale = any ? ChartMath::autoScale(lo, hi, m_plotArea.m_height, m_yAxis.m_majorDensity)
                          : ChartMath::Scale{0, 1, 0, 0};
}

double XYChart::xToPixel(double value) const
{
    return ChartMath::valueToPixel(value, m_xAxis.m_scale.low, m_xAxis.m_scale.high, m_plotArea.getLeftX(),
                                   m_plotArea.getRightX());
}

double XYChart::yToPixel(double value) const
{
    return ChartMath::valueToPixel(value, m_yAxis.m_scale.low, m_yAxis.m_scale.high, m_plotArea.getBottomY(),
                                   m_plotArea.getTopY());
}

double XYChart::getNearestXValue(double x)
{
    layout();
    double target = ChartMath::pixelToValue(x, m_xAxis.m_scale.low, m_xAxis.m_scale.high,
                                            m_plotArea.getLeftX(), m_plotArea.getRightX());
    double best = Chart::NoValue;
    for (const auto &layer : m_layers) {
        int i = ChartMath::nearestIndex(layer->m_xData.data(), int(layer->m_xData.size()), target);
        if (i >= 0 && (best == Chart::NoValue ||
                       std::fabs(layer->m_xData[size_t(i)] - target) < std::fabs(best - target)))
            best = layer->m_xData[size_t(i)];
    }
    return best;
}

int XYChart::getXCoor(double value)
{
    layout();
    return roundPixel(xToPixel(value));
}

int XYChart::getYCoor(double value, const Axis *axis)
{
    Q_UNUSED(axis)
    layout();
    return roundPixel(yToPixel(value));
}

void XYChart::dataChanged()
{
    m_laidOut = false;
    m_rendered = false;
    m_dynamic.reset();
}

DrawArea *XYChart::initDynamicLayer()
{
    if (!m_rendered)
        render();
    if (m_dynamicImage.isNull() || !m_dynamicImage.isDetached()) {
        giveBackImage(m_dynamicImage);
        m_dynamicImage = takeImage(m_image.size(), m_ratio);
    }
    std::memcpy(m_dynamicImage.bits(), m_image.constBits(), size_t(m_image.sizeInBytes()));
    m_dynamic = std::make_unique<DrawArea>(&m_dynamicImage);
    return m_dynamic.get();
}

void XYChart::removeDynamicLayer()
{
    m_dynamic.reset();
    giveBackImage(m_dynamicImage);
}

const QImage &XYChart::makeChart()
{
    if (!m_rendered)
        render();
    return m_dynamic ? m_dynamicImage : m_image;
}

ChartMetrics XYChart::getChartMetrics()
{
    layout();
    return ChartMetrics{m_width,          m_height,           m_plotArea.m_left,
                        m_plotArea.m_top, m_plotArea.m_width, m_plotArea.m_height};
}

void XYChart::render()
{
    layout();
    if (m_image.isNull() || !m_image.isDetached()) {
        giveBackImage(m_image);
        m_image = takeImage(QSize(m_width, m_height) * m_ratio, m_ratio);
    }
    m_rendered = true;
    QPainter painter(&m_image);
    drawFrame(painter);
    drawPlotBackground(painter);
    painter.save();
    painter.setClipRect(QRect(m_plotArea.m_left, m_plotArea.m_top, m_plotArea.m_width, m_plotArea.m_height));
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto &layer : m_layers)
        layer->draw(painter, *this);
    painter.restore();
    drawAxes(painter);
}

void XYChart::drawFrame(QPainter &painter) const
{
    const QRect all(0, 0, m_width, m_height);
    const QColor face = Chart::toQColor(m_background);
    const QRect plot(m_plotArea.m_left, m_plotArea.m_top, m_plotArea.m_width, m_plotArea.m_height);
    if (isOpaque(m_plotArea.m_background) && all.contains(plot)) {
        // The plot area gets its own background; painting it twice costs a full image of writes.
        painter.fillRect(QRect(0, 0, m_width, plot.top()), face);
        painter.fillRect(QRect(0, plot.bottom() + 1, m_width, m_height - plot.bottom() - 1), face);
        painter.fillRect(QRect(0, plot.top(), plot.left(), plot.height()), face);
        painter.fillRect(QRect(plot.right() + 1, plot.top(), m_width - plot.right() - 1, plot.height()),
                         face);
    } else {
        painter.fillRect(all, face);
    }
    QRect inner = all;
    if (isOpaque(m_edge)) {
        outline(painter, inner, Chart::toQColor(m_edge));
        inner.adjust(1, 1, -1, -1);
    }
    const QColor light = face.lighter(125);
    const QColor dark = face.darker(150);
    for (int i = 0; i < m_raisedEffect && inner.width() > 1 && inner.height() > 1; ++i) {
        painter.fillRect(inner.left(), inner.top(), inner.width(), 1, light);
        painter.fillRect(inner.left(), inner.top(), 1, inner.height(), light);
        painter.fillRect(inner.left(), inner.bottom(), inner.width(), 1, dark);
        painter.fillRect(inner.right(), inner.top(), 1, inner.height(), dark);
        inner.adjust(1, 1, -1, -1);
    }
}

void XYChart::drawPlotBackground(QPainter &painter) const
{
    const PlotArea &pa = m_plotArea;
    const QRect area(pa.m_left, pa.m_top, pa.m_width, pa.m_height);
    if (isOpaque(pa.m_background))
        painter.fillRect(area, Chart::toQColor(pa.m_background));
    if (isOpaque(pa.m_vGrid) && m_xAxis.m_hasScale) {
        const ChartMath::Scale &s = m_xAxis.m_scale;
        const QColor grid = Chart::toQColor(pa.m_vGrid);
        for (double v : ChartMath::tickValues(s.low, s.high, s.majorStep, m_xAxis.m_utcOffset))
            painter.fillRect(roundPixel(xToPixel(v)), area.top(), 1, area.height(), grid);
    }
    if (isOpaque(pa.m_hGrid) && m_yAxis.m_hasScale) {
        const ChartMath::Scale &s = m_yAxis.m_scale;
        const QColor grid = Chart::toQColor(pa.m_hGrid);
        for (double v : ChartMath::tickValues(s.low, s.high, s.majorStep))
            painter.fillRect(area.left(), roundPixel(yToPixel(v)), area.width(), 1, grid);
    }
    if (isOpaque(pa.m_edge))
        outline(painter, area, Chart::toQColor(pa.m_edge));
}

void XYChart::drawAxes(QPainter &painter) const
{
    const PlotArea &pa = m_plotArea;
    const int xw = m_xAxis.m_width;
    const int yw = m_yAxis.m_width;
    const QColor ink(Qt::black);
    painter.fillRect(pa.m_left - yw, pa.m_top, yw, pa.m_height + xw, ink);
    painter.fillRect(pa.m_left - yw, pa.getBottomY() + 1, pa.m_width + yw, xw, ink);
    const QFont &font = Chart::axisLabelFont();
    painter.setFont(font);
    painter.setPen(ink);
    const QFontMetrics metrics(font);

    if (m_xAxis.m_hasScale) {
        const ChartMath::Scale &s = m_xAxis.m_scale;
        const int tickTop = pa.getBottomY() + 1 + xw;
        for (double v : ChartMath::tickValues(s.low, s.high, s.minorStep, m_xAxis.m_utcOffset))
            painter.fillRect(roundPixel(xToPixel(v)), tickTop, 1, kMinorTickLength, ink);
        const int labelTop = tickTop + kMajorTickLength + kLabelGap;
        for (double v : ChartMath::tickValues(s.low, s.high, s.majorStep, m_xAxis.m_utcOffset)) {
            const int x = roundPixel(xToPixel(v));
            painter.fillRect(x, tickTop, 1, kMajorTickLength, ink);
            const QString label = m_xAxis.m_timeLabels ? ChartMath::formatTime(v, m_xAxis.m_utcOffset)
                                                       : ChartMath::formatValue(v, 0);
            const QStaticText &text = laidOutText(label, font);
            const int width = qCeil(text.size().width());
            painter.drawStaticText(QPoint(qBound(0, x - width / 2, m_width - width), labelTop), text);
        }
    }
    if (m_yAxis.m_hasScale) {
        const ChartMath::Scale &s = m_yAxis.m_scale;
        const int tickLeft = pa.m_left - yw - kMajorTickLength;
        const int decimals = ChartMath::decimalsForStep(s.majorStep);
        const int halfHeight = metrics.height() / 2;
        for (double v : ChartMath::tickValues(s.low, s.high, s.majorStep)) {
            const int y = roundPixel(yToPixel(v));
            painter.fillRect(tickLeft, y, kMajorTickLength, 1, ink);
            const QString label = ChartMath::formatValue(v, decimals);
            const QStaticText &text = laidOutText(label, font);
            painter.drawStaticText(QPoint(tickLeft - kLabelGap - qCeil(text.size().width()), y - halfHeight),
                                   text);
        }
    }
}

void ViewPortManager::setChartMetrics(const ChartMetrics *metrics)
{
    m_hasMetrics = metrics != nullptr;
    m_metrics = metrics ? *metrics : ChartMetrics();
}

bool ViewPortManager::inPlotArea(int x, int y) const
{
    return m_hasMetrics && x >= m_metrics.plotLeft && x < m_metrics.plotLeft + m_metrics.plotWidth &&
           y >= m_metrics.plotTop && y < m_metrics.plotTop + m_metrics.plotHeight;
}

bool ViewPortManager::inExtendedPlotArea(int x, int y) const
{
    return m_hasMetrics && x >= m_metrics.plotLeft - kExtendedMargin &&
           x < m_metrics.plotLeft + m_metrics.plotWidth + kExtendedMargin &&
           y >= m_metrics.plotTop - kExtendedMargin &&
           y < m_metrics.plotTop + m_metrics.plotHeight + kExtendedMargin;
}
