#include "widgets/repaintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(QWidget *window, int frameMs, int burst)
    : QObject(window), m_window(window), m_budget(frameMs, burst)
{
    window->installEventFilter(this);
}

// The window repaints on an update request. One beyond the allowance waits for the timer, and the
// window's later updates join it meanwhile (the toolkit asks only once until the request is served).
bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::UpdateRequest || watched != m_window || m_releasing)
        return false;
    if (m_timerId)
        return true;
    if (m_budget.take())
        return false;
    m_timerId = startTimer(m_budget.waitMs(), Qt::PreciseTimer);
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
    m_budget.spendWaited();
    m_releasing = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_releasing = false;
}
