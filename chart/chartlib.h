#pragma once

#include "chart/chartmath.h"

#include <QFont>
#include <QImage>
#include <QPen>
#include <QString>
#include <memory>
#include <vector>

// The chart drawing layer: a line chart with a date x axis and an auto-scaled y axis drawn with
// QPainter into a QImage, an overlay layer drawn on a copy of that image, and the plot-area
// geometry the viewer needs. It offers only what the trend charts call.

namespace Chart {

// Colours are 0xAARRGGBB where the alpha byte counts transparency: 00 opaque, FF transparent.
using Color = quint32;
constexpr Color Transparent = 0xFF000000;

// Text alignment codes: the point given to TTFText::draw is this spot of the text box.
enum Alignment
{
    Left = 4,
    Right = 6,
    TopLeft = 7
};

// Converts Unix seconds to chart time; chart time counts Unix seconds.
double chartTime2(qint64 unixSeconds);

QColor toQColor(Color color);

// The bold sans-serif of the labels ("arialbd.ttf") and the regular one of the axes, by family.
const QFont &boldLabelFont();
const QFont &axisLabelFont();

} // namespace Chart

class QPainter;
class XYChart;

// Plot-area geometry and colours; the right and bottom edges are the last pixels inside.
class PlotArea
{
public:
    int getLeftX() const { return m_left; }
    int getTopY() const { return m_top; }
    int getRightX() const { return m_left + m_width - 1; }
    int getBottomY() const { return m_top + m_height - 1; }
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }

private:
    friend class XYChart;
    int m_left = 0;
    int m_top = 0;
    int m_width = 1;
    int m_height = 1;
    Chart::Color m_background = Chart::Transparent;
    Chart::Color m_edge = 0x000000;
    Chart::Color m_hGrid = 0xC0C0C0;
    Chart::Color m_vGrid = Chart::Transparent;
};

// One axis: a date scale set by the caller or a linear scale fitted to the data at layout.
class Axis
{
public:
    void setTickDensity(int majorPixels, int minorPixels = -1);
    void setWidth(int width) { m_width = width; }
    void setDateScale(double low, double high);
    // "{value|hh:nn:ss}" makes the labels clock times; other formats show plain numbers.
    void setLabelFormat(const QString &format) { m_timeLabels = format.contains(QLatin1String("hh:nn")); }
    // Only the "hh:nn:ss" format is known.
    QString getFormattedLabel(double value, const QString &format) const;
    double getMinValue() const { return m_scale.low; }
    double getMaxValue() const { return m_scale.high; }
    bool hasScale() const { return m_hasScale; }

private:
    friend class XYChart;
    bool m_dateScale = false;
    bool m_hasScale = false;
    bool m_timeLabels = false;
    int m_majorDensity = 30;
    int m_minorDensity = 0;
    int m_width = 1;
    int m_utcOffset = 0;
    ChartMath::Scale m_scale;
};

// A named, coloured series of y values sharing its layer's x data.
class DataSet
{
public:
    // New values in place of the old, for a chart whose data moved.
    void setValues(const double *values, int count);
    QString getDataName() const { return m_name; }
    Chart::Color getDataColor() const { return m_color; }
    double getValue(int i) const;
    double getPosition(int i) const { return getValue(i); }
    Axis *getUseYAxis() const { return m_axis; }

private:
    friend class Layer;
    friend class LineLayer;
    friend class XYChart;
    std::vector<double> m_values;
    Chart::Color m_color = 0;
    QString m_name;
    Axis *m_axis = nullptr;
};

// X data and the data sets drawn against it.
class Layer
{
public:
    virtual ~Layer() = default;
    void setXData(const double *xs, int count);
    DataSet *addDataSet(const double *values, int count, Chart::Color color, const QString &name);
    int getDataSetCount() const { return int(m_dataSets.size()); }
    DataSet *getDataSetByZ(int i) const;
    int getXIndexOf(double xValue, double tolerance = 0) const;

protected:
    friend class XYChart;
    virtual void draw(QPainter &painter, const XYChart &chart) const = 0;
    std::vector<double> m_xData;
    std::vector<std::unique_ptr<DataSet>> m_dataSets;
    Axis *m_yAxis = nullptr;
};

// Straight segments between consecutive points; a missing x or y value breaks the line.
class LineLayer : public Layer
{
protected:
    void draw(QPainter &painter, const XYChart &chart) const override;
};

// A text in a filled box, drawn on the overlay and then dropped.
class TTFText
{
public:
    TTFText(QImage *image, const QString &text, const QFont &font, Chart::Color boxColor);
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    void draw(int x, int y, Chart::Color color, int alignment = Chart::TopLeft);

private:
    QImage *m_image;
    QString m_text;
    QFont m_font;
    Chart::Color m_boxColor;
    int m_width = 0;
    int m_height = 0;
};

// The overlay: draws onto a copy of the rendered chart so the chart itself stays untouched.
class DrawArea
{
public:
    explicit DrawArea(QImage *image) : m_image(image) {}
    // A one-pixel pen of `color` that follows the 16-bit on/off `pattern` from its low bit.
    QPen dashLineColor(Chart::Color color, quint32 pattern) const;
    void vline(int y1, int y2, int x, const QPen &pen);
    void circle(int cx, int cy, int rx, int ry, Chart::Color edgeColor, Chart::Color fillColor);
    TTFText text(const QString &text, const QFont &font, Chart::Color boxColor = Chart::Transparent);

private:
    QImage *m_image;
};

// Geometry the viewer keeps of the chart it shows.
struct ChartMetrics
{
    int width = 0;
    int height = 0;
    int plotLeft = 0;
    int plotTop = 0;
    int plotWidth = 0;
    int plotHeight = 0;
};

// An XY chart: background with edge and raised border, one plot area with grid, x and y axes and
// line layers. Renders lazily; the overlay (dynamic layer) is drawn on a copy of the render.
class XYChart
{
public:
    XYChart(int width, int height, Chart::Color background = 0xFFFFFF, Chart::Color edge = Chart::Transparent,
            int raisedEffect = 0);
    ~XYChart();
    XYChart(const XYChart &) = delete;
    XYChart &operator=(const XYChart &) = delete;

    PlotArea *setPlotArea(int x, int y, int width, int height, Chart::Color background = Chart::Transparent,
                          Chart::Color edge = 0x000000, Chart::Color hGrid = 0xC0C0C0,
                          Chart::Color vGrid = Chart::Transparent);
    PlotArea *getPlotArea();
    Axis *xAxis() { return &m_xAxis; }
    Axis *yAxis() { return &m_yAxis; }
    LineLayer *addLineLayer2();
    int getLayerCount() const { return int(m_layers.size()); }
    Layer *getLayerByZ(int i) const;
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    // Rendering at a device pixel ratio above 1 keeps the chart sharp on high-DPI screens.
    void setDevicePixelRatio(qreal ratio) { m_ratio = ratio > 0 ? ratio : 1; }

    // Fits the axes to the data; coordinate calls do it on demand.
    void layout();
    // The data or the axis scales were changed in place: the next use lays out and renders anew, into
    // the same image where nobody else holds it; the overlay is dropped.
    void dataChanged();
    double getNearestXValue(double x);
    int getXCoor(double value);
    int getYCoor(double value, const Axis *axis = nullptr);
    static QString formatValue(double value, int decimals) { return ChartMath::formatValue(value, decimals); }

    // A fresh overlay on a copy of the chart image.
    DrawArea *initDynamicLayer();
    void removeDynamicLayer();
    bool hasDynamicLayer() const { return m_dynamic != nullptr; }
    // The chart image with its overlay, if any.
    const QImage &makeChart();
    ChartMetrics getChartMetrics();

private:
    friend class LineLayer;
    double xToPixel(double value) const;
    double yToPixel(double value) const;
    void render();
    void drawFrame(QPainter &painter) const;
    void drawPlotBackground(QPainter &painter) const;
    void drawAxes(QPainter &painter) const;
    void fitYAxis();

    int m_width;
    int m_height;
    Chart::Color m_background;
    Chart::Color m_edge;
    int m_raisedEffect;
    qreal m_ratio = 1;
    PlotArea m_plotArea;
    Axis m_xAxis;
    Axis m_yAxis;
    std::vector<std::unique_ptr<Layer>> m_layers;
    bool m_laidOut = false;
    bool m_rendered = false;
    QImage m_image;
    QImage m_dynamicImage;
    std::unique_ptr<DrawArea> m_dynamic;
};

// Plot-area geometry of the chart shown in a viewer, with the hit tests for the mouse.
class ViewPortManager
{
public:
    virtual ~ViewPortManager() = default;
    void setChartMetrics(const ChartMetrics *metrics);
    int getPlotAreaLeft() const { return m_metrics.plotLeft; }
    int getPlotAreaTop() const { return m_metrics.plotTop; }
    int getPlotAreaWidth() const { return m_metrics.plotWidth; }
    int getPlotAreaHeight() const { return m_metrics.plotHeight; }
    bool inPlotArea(int x, int y) const;
    // The plot area grown by a few pixels, so the first and last samples are easy to reach.
    bool inExtendedPlotArea(int x, int y) const;

private:
    bool m_hasMetrics = false;
    ChartMetrics m_metrics;
};
