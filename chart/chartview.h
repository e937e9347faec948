#pragma once

#include "chart/chartlib.h"
#include "chart/qchartviewer.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QVector>
#include <memory>

#include <QMouseEvent>

class QMenu;

// The two live trend charts of a panel: keeps the last 240 samples of two values with their
// times and draws one line chart per value, with a track cursor at the mouse or at the newest
// sample.
class ChartView : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSampleCount = 240;

    // One value label of the track cursor as drawn.
    struct ValueLabel
    {
        QString text;
        QPoint anchor;
        int alignment = Chart::Left;
    };

    // What the last track cursor showed; `shown` is false on a chart without data.
    struct TrackCursor
    {
        bool shown = false;
        double xValue = Chart::NoValue;
        int xCoor = 0;
        QString timeLabel;
        QVector<ValueLabel> values;
    };

    ChartView(QChartViewerLabel *label1, QChartViewerLabel *label2, QObject *parent = nullptr);
    ~ChartView() override;

    void addSample(double chartTime, double value1, double value2);
    // The poll period of the samples: the time window spans kSampleCount of them.
    void setPollPeriodMs(int ms) { m_pollPeriodMs = ms; }
    // While held the charts keep their samples but do not draw them: a chart nobody can see (a
    // bench panel in a tab behind others) costs nothing. Let go, they draw once.
    void setHeld(bool held);
    bool isHeld() const { return m_held; }
    int pollPeriodMs() const { return m_pollPeriodMs; }
    void clearSamples();
    // Empties chart 0 or 1 alone (its value changed meaning); the other keeps its samples and times.
    void clearChart(int chart);

    const double *timeStamps() const { return m_timeStamps; }
    const double *values1() const { return m_values1; }
    const double *values2() const { return m_values2; }
    QChartViewer *viewer1() const { return m_charts[0].viewer; }
    QChartViewer *viewer2() const { return m_charts[1].viewer; }
    // Chart 0 or 1 as shown; a null image when it has no viewer.
    QImage picture(int chart) const;
    // The context menu of chart 0 or 1: "Save picture…" (PNG) and "Copy" (to the clipboard).
    QMenu *pictureMenu(int chart, QWidget *parent);
    // The track cursor last drawn on chart 0 or 1.
    const TrackCursor &trackCursor(int chart) const { return m_charts[chart ? 1 : 0].cursor; }

    // The trend chart for a label of `labelSize`, without its track cursor; the time window is
    // the last 240 poll periods of `pollMs`.
    static std::unique_ptr<XYChart> makeTrendChart(QSize labelSize, const double *timeStamps,
                                                   const double *values, const QString &name, int pollMs);
    // Moves a trend chart's time window and line to the samples in place; false when the chart has no
    // line to move (it was made before the first sample) or there is no sample.
    static bool moveTrendData(XYChart *chart, const double *timeStamps, const double *values, int pollMs);
    // Draws the track cursor on a fresh overlay at the sample nearest to `mouseX`.
    static TrackCursor drawTrackCursor(XYChart *chart, int mouseX);

public slots:
    void onMouseMovePlotArea(QMouseEvent *event);
    void onMouseMovePlotArea2(QMouseEvent *event);
    void updateChart();
    void drawChart();
    void drawChart2();

private:
    struct Trace
    {
        QPointer<QChartViewerLabel> label;
        QPointer<QChartViewer> viewer;
        std::unique_ptr<XYChart> chart;
        QSize chartSize;
        qreal chartRatio = 0;
        TrackCursor cursor;
        const double *values = nullptr;
        QString name;
    };

    void setUpTrace(int index, QChartViewerLabel *label, const double *values, const QString &name);
    void draw(int index);
    void trackMouse(int index);

    Trace m_charts[2];
    double m_timeStamps[kSampleCount];
    double m_values1[kSampleCount];
    double m_values2[kSampleCount];
    int m_pollPeriodMs = 1000;
    bool m_held = false;
    bool m_drawnWhileHeld = false; // a draw was asked for while held
};
