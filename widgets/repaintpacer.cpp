#include "widgets/repaintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>
#include <QWidget>

#include <algorithm>

RepaintPacer::RepaintPacer(QWidget *window, int frameMs, int burst)
    : QObject(window), m_window(window), m_frameMs(std::max(1, frameMs)), m_burst(std::max(1, burst)),
      m_allowance(m_burst)
{
    m_clock.start();
    window->installEventFilter(this);
}

void RepaintPacer::refill()
{
    const qint64 now = m_clock.elapsed();
    m_allowance = std::min<double>(m_burst, m_allowance + double(now - m_refilledMs) / m_frameMs);
    m_refilledMs = now;
}

// The window repaints on an update request. One beyond the allowance waits for the timer, and the
// window's later updates join it meanwhile (the toolkit asks only once until the request is served).
bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::UpdateRequest || watched != m_window || m_releasing)
        return false;
    if (m_timerId)
        return true;
    refill();
    if (m_allowance >= 1) {
        m_allowance -= 1;
        return false;
    }
    m_timerId = startTimer(int((1 - m_allowance) * m_frameMs) + 1, Qt::PreciseTimer);
    return true;
}

void RepaintPacer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId)
        return;
    killTimer(m_timerId);
    m_timerId = 0;
    if (!m_window)
        return;
    refill();
    m_allowance = std::max(0.0, m_allowance - 1);
    m_releasing = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_releasing = false;
}
