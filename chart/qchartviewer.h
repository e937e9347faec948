#pragma once

#include "chart/chartlib.h"

#include <QElapsedTimer>
#include <QLabel>
#include <memory>

#include <QMouseEvent>
#include <QWheelEvent>

// The placeholder label of a panel form that a chart is drawn into; tells the chart code when
// its size changes.
class QChartViewerLabel : public QLabel
{
    Q_OBJECT
public:
    explicit QChartViewerLabel(QWidget *parent = nullptr);

signals:
    void refreshChart();

protected:
    void resizeEvent(QResizeEvent *event) override;
};

// Shows a chart image (painted straight from the chart's QImage, no pixmap copy) and turns mouse activity
// into signals with chart coordinates. Mouse moves are handled at most about once per 10 ms (at least once
// per 250 ms in a stream, the last one always), viewport redraws at most once per update interval, and
// display refreshes asked for while either is handled are merged into one pixmap rebuild.
class QChartViewer : public QLabel, public ViewPortManager
{
    Q_OBJECT
public:
    enum MouseUsage
    {
        MouseUsageDefault = 0,
        MouseUsageZoomIn = 3,
        MouseUsageZoomOut = 4
    };

    explicit QChartViewer(QWidget *parent = nullptr);
    ~QChartViewer() override;

    // Not owned: the caller keeps the chart alive while it is shown.
    virtual void setChart(XYChart *chart);
    virtual XYChart *chart() const { return m_chart; }

    virtual void setMouseUsage(int usage);
    virtual int getMouseUsage() const { return m_mouseUsage; }
    virtual void setUpdateInterval(int ms) { m_updateInterval = ms; }
    virtual int getUpdateInterval() const { return m_updateInterval; }
    virtual bool needUpdateChart() const { return m_redrawRequested; }
    virtual bool needUpdateImageMap() const { return m_rebuildRequested; }

    virtual bool mouseOnPlotArea() const;
    virtual bool inMouseMoveHandling() const { return m_inMouseMoveHandling; }
    virtual bool inViewPortChangedHandling() const { return m_inViewPortChangedHandling; }
    virtual void requestViewPortUpdate(bool redrawChart, bool rebuildHotSpots);
    virtual void refreshDisplay();
    // "mouseleaveplotarea" or "mouseleavechart" removes the overlay on that event; "now" at once.
    virtual void removeOverlayOn(const char *condition);

    // The chart image as shown, overlay included; null before a chart is set.
    const QImage &displayedImage() const { return m_shown; }

    virtual int chartMouseX() const { return m_chartMouseX; }
    virtual int chartMouseY() const { return m_chartMouseY; }
    virtual int plotAreaMouseX() const;
    virtual int plotAreaMouseY() const;

    // The 32 x 32 cursors of the zoom modes, hot spot at (15, 15).
    static const QCursor &zoomInCursor();
    static const QCursor &zoomOutCursor();

signals:
    void viewPortChanged();
    void clicked(QMouseEvent *event);
    void mouseMove(QMouseEvent *event);
    void mouseWheel(QWheelEvent *event);
    void mouseMoveChart(QMouseEvent *event);
    void mouseLeaveChart(QEvent *event);
    void mouseMovePlotArea(QMouseEvent *event);
    void mouseLeavePlotArea(QEvent *event);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;

    virtual void flushPendingMouseMove();
    virtual void updateCursor();

private:
    enum DisplayState
    {
        Idle = 0,
        Deferring = 1,
        RefreshDeferred = 2
    };

    void runViewPortUpdate();
    void handleMouseMove(QMouseEvent *event);
    void rebuildDisplay();
    void runDeferredRefresh();
    void applyOverlayCondition(const char *condition);
    static qint64 now();

    XYChart *m_chart = nullptr;
    int m_mouseUsage = MouseUsageDefault;
    int m_updateInterval = 20;
    bool m_redrawRequested = false;
    bool m_rebuildRequested = false;
    bool m_mouseOnPlotArea = false;
    bool m_mouseInside = false;
    bool m_inMouseMoveHandling = false;
    bool m_updateTimerActive = false;
    int m_updateTimerId = 0;
    bool m_inViewPortChangedHandling = false;
    qint64 m_lastUpdateTime = 0; // of the last viewport redraw; 0 before the first
    int m_displayState = Idle;
    qint64 m_lastMoveTime = 0;
    std::unique_ptr<QMouseEvent> m_pendingMove;
    int m_pendingMoveTimerId = 0;
    int m_chartMouseX = 0;
    int m_chartMouseY = 0;
    bool m_mouseInExtendedPlotArea = false;
    QString m_overlayRemovalCondition;
    QImage m_shown;
};
