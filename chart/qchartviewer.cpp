#include "chart/qchartviewer.h"

#include <QBitmap>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <chrono>

namespace {

const int kMinMoveGapMs = 10;
const int kMaxMoveGapMs = 250;

enum class CursorShape
{
    ZoomIn,
    ZoomOut
};

// A magnifier with a plus or a minus, in black with a white rim.
QCursor makeCursor(CursorShape shape)
{
    auto paint = [shape](QBitmap &bitmap, int width) {
        bitmap.fill(Qt::color0);
        QPainter painter(&bitmap);
        painter.setPen(QPen(Qt::color1, width));
        painter.drawEllipse(QPoint(15, 15), 9, 9);
        painter.drawLine(22, 22, 29, 29);
        painter.drawLine(11, 15, 19, 15);
        if (shape == CursorShape::ZoomIn)
            painter.drawLine(15, 11, 15, 19);
    };
    QBitmap bitmap(32, 32);
    QBitmap mask(32, 32);
    paint(bitmap, 2);
    paint(mask, 4);
    return QCursor(bitmap, mask, 15, 15);
}

} // namespace

QChartViewerLabel::QChartViewerLabel(QWidget *parent) : QLabel(parent) {}

void QChartViewerLabel::resizeEvent(QResizeEvent *)
{
    emit refreshChart();
}

QChartViewer::QChartViewer(QWidget *parent) : QLabel(parent)
{
    setMouseTracking(true);
}

QChartViewer::~QChartViewer() = default;

qint64 QChartViewer::now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

const QCursor &QChartViewer::zoomInCursor()
{
    static const QCursor cursor = makeCursor(CursorShape::ZoomIn);
    return cursor;
}

const QCursor &QChartViewer::zoomOutCursor()
{
    static const QCursor cursor = makeCursor(CursorShape::ZoomOut);
    return cursor;
}

void QChartViewer::setChart(XYChart *chart)
{
    m_chart = chart;
    if (m_chart && m_displayState != Idle)
        m_chart->layout();
    refreshDisplay();
}

void QChartViewer::setMouseUsage(int usage)
{
    m_mouseUsage = usage;
    updateCursor();
}

bool QChartViewer::mouseOnPlotArea() const
{
    return m_mouseInside && inExtendedPlotArea(m_chartMouseX, m_chartMouseY);
}

int QChartViewer::plotAreaMouseX() const
{
    return qBound(getPlotAreaLeft(), m_chartMouseX, getPlotAreaLeft() + getPlotAreaWidth());
}

int QChartViewer::plotAreaMouseY() const
{
    return qBound(getPlotAreaTop(), m_chartMouseY, getPlotAreaTop() + getPlotAreaHeight());
}

void QChartViewer::requestViewPortUpdate(bool redrawChart, bool rebuildHotSpots)
{
    if (m_inViewPortChangedHandling)
        return;
    m_redrawRequested = m_redrawRequested || redrawChart;
    m_rebuildRequested = rebuildHotSpots;
    if (m_updateTimerActive)
        return;
    // Within the update interval of the last redraw a request waits for a timer; otherwise it is served
    // at once, so no timer runs while nothing is asked for.
    const qint64 sinceLast = m_lastUpdateTime ? now() - m_lastUpdateTime : m_updateInterval;
    if (m_updateInterval > 0 && sinceLast < m_updateInterval) {
        m_updateTimerId = startTimer(int(m_updateInterval - sinceLast), Qt::PreciseTimer);
        m_updateTimerActive = true;
        return;
    }
    runViewPortUpdate();
}

void QChartViewer::runViewPortUpdate()
{
    const bool wasIdle = m_displayState == Idle;
    if (wasIdle)
        m_displayState = Deferring;
    m_inViewPortChangedHandling = true;
    emit viewPortChanged();
    m_inViewPortChangedHandling = false;
    if (wasIdle)
        runDeferredRefresh();
    m_redrawRequested = false;
    m_rebuildRequested = false;
    m_lastUpdateTime = now();
}

void QChartViewer::refreshDisplay()
{
    if (m_displayState == Idle)
        rebuildDisplay();
    else
        m_displayState = RefreshDeferred;
}

void QChartViewer::runDeferredRefresh()
{
    if (m_displayState == RefreshDeferred)
        rebuildDisplay();
    m_displayState = Idle;
}

void QChartViewer::rebuildDisplay()
{
    // Let go of the old image first, so the chart can reuse its buffer for a later overlay.
    m_shown = QImage();
    if (!m_chart) {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        setChartMetrics(nullptr);
        update();
        return;
    }
    m_shown = m_chart->makeChart();
    setFixedSize(m_chart->getWidth(), m_chart->getHeight());
    // The image covers the whole widget, so what lies behind it need not be painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    const ChartMetrics metrics = m_chart->getChartMetrics();
    setChartMetrics(&metrics);
    update();
}

bool QChartViewer::event(QEvent *event)
{
    const bool handled = QLabel::event(event);
    // The style's polish resets the attribute.
    if (event->type() == QEvent::Polish)
        setAttribute(Qt::WA_OpaquePaintEvent, !m_shown.isNull());
    return handled;
}

void QChartViewer::paintEvent(QPaintEvent *)
{
    if (m_shown.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_shown);
}

void QChartViewer::removeOverlayOn(const char *condition)
{
    m_overlayRemovalCondition = QString::fromLatin1(condition).toLower();
    if (m_overlayRemovalCondition == QLatin1String("now"))
        applyOverlayCondition("now");
}

void QChartViewer::applyOverlayCondition(const char *condition)
{
    if (m_overlayRemovalCondition != QLatin1String(condition))
        return;
    if (m_chart)
        m_chart->removeDynamicLayer();
    m_overlayRemovalCondition.clear();
    refreshDisplay();
}

void QChartViewer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_pendingMoveTimerId) {
        if (now() - m_lastMoveTime >= kMinMoveGapMs)
            flushPendingMouseMove();
    } else if (event->timerId() == m_updateTimerId) {
        killTimer(m_updateTimerId);
        m_updateTimerId = 0;
        m_updateTimerActive = false;
        if (m_redrawRequested || m_rebuildRequested)
            runViewPortUpdate();
    } else {
        QLabel::timerEvent(event);
    }
}

void QChartViewer::mouseMoveEvent(QMouseEvent *event)
{
    m_mouseInside = true;
    emit mouseMove(event);
    const qint64 elapsed = now() - m_lastMoveTime;
    if ((!m_pendingMove || elapsed >= kMaxMoveGapMs) && elapsed >= kMinMoveGapMs) {
        handleMouseMove(event);
    } else {
        const bool timerRunning = m_pendingMove != nullptr;
        m_pendingMove = std::make_unique<QMouseEvent>(*event);
        if (!timerRunning)
            m_pendingMoveTimerId = startTimer(1);
    }
    updateCursor();
}

void QChartViewer::flushPendingMouseMove()
{
    if (!m_pendingMove)
        return;
    std::unique_ptr<QMouseEvent> pending = std::move(m_pendingMove);
    handleMouseMove(pending.get());
}

void QChartViewer::handleMouseMove(QMouseEvent *event)
{
    m_chartMouseX = event->x();
    m_chartMouseY = event->y();
    m_displayState = Deferring;
    m_inMouseMoveHandling = true;
    m_mouseOnPlotArea = inPlotArea(m_chartMouseX, m_chartMouseY);

    emit mouseMoveChart(event);
    if (inExtendedPlotArea(m_chartMouseX, m_chartMouseY)) {
        m_mouseInExtendedPlotArea = true;
        emit mouseMovePlotArea(event);
    } else if (m_mouseInExtendedPlotArea) {
        m_mouseInExtendedPlotArea = false;
        emit mouseLeavePlotArea(event);
        applyOverlayCondition("mouseleaveplotarea");
    }

    m_pendingMove.reset();
    if (m_pendingMoveTimerId) {
        killTimer(m_pendingMoveTimerId);
        m_pendingMoveTimerId = 0;
    }
    runDeferredRefresh();
    m_inMouseMoveHandling = false;
    m_lastMoveTime = now();
}

void QChartViewer::leaveEvent(QEvent *event)
{
    flushPendingMouseMove();
    m_mouseInside = false;
    if (m_mouseInExtendedPlotArea) {
        m_mouseInExtendedPlotArea = false;
        emit mouseLeavePlotArea(event);
        applyOverlayCondition("mouseleaveplotarea");
    }
    emit mouseLeaveChart(event);
    applyOverlayCondition("mouseleavechart");
    QLabel::leaveEvent(event);
}

void QChartViewer::mousePressEvent(QMouseEvent *event)
{
    flushPendingMouseMove();
    // Taking the press keeps the release here, where it becomes `clicked`.
    event->accept();
}

void QChartViewer::mouseReleaseEvent(QMouseEvent *event)
{
    flushPendingMouseMove();
    if (m_mouseUsage == MouseUsageDefault)
        emit clicked(event);
    updateCursor();
}

void QChartViewer::wheelEvent(QWheelEvent *event)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&QChartViewer::mouseWheel))) {
        event->ignore();
        return;
    }
    flushPendingMouseMove();
    event->accept();
    emit mouseWheel(event);
}

void QChartViewer::updateCursor()
{
    if (m_mouseOnPlotArea && m_mouseUsage == MouseUsageZoomIn)
        setCursor(zoomInCursor());
    else if (m_mouseOnPlotArea && m_mouseUsage == MouseUsageZoomOut)
        setCursor(zoomOutCursor());
    else
        unsetCursor();
}
