#include "widgets/repaintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(QWidget *window, int frameMs) : QObject(window), m_window(window), m_frameMs(frameMs)
{
    window->installEventFilter(this);
}

// The window repaints on an update request; one that comes too soon waits for the timer, and the window's
// later updates join it meanwhile (the toolkit asks only once until the request is served).
bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::UpdateRequest || watched != m_window || m_releasing)
        return false;
    if (m_timerId)
        return true;
    if (m_sinceRepaint.isValid() && m_sinceRepaint.elapsed() < m_frameMs) {
        m_timerId = startTimer(int(m_frameMs - m_sinceRepaint.elapsed()), Qt::PreciseTimer);
        return true;
    }
    m_sinceRepaint.start();
    return false;
}

void RepaintPacer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId)
        return;
    killTimer(m_timerId);
    m_timerId = 0;
    if (!m_window)
        return;
    m_sinceRepaint.start();
    m_releasing = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_releasing = false;
}
