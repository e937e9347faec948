#include "widgets/callpacer.h"

#include <QTimerEvent>

#include <utility>

CallPacer::CallPacer(QObject *parent, int frameMs, int burst) : QObject(parent), m_budget(frameMs, burst) {}

void CallPacer::run(std::function<void()> call)
{
    if (m_timerId) {
        m_pending = std::move(call);
        return;
    }
    if (m_budget.take()) {
        call();
        return;
    }
    m_pending = std::move(call);
    m_timerId = startTimer(m_budget.waitMs(), Qt::PreciseTimer);
}

void CallPacer::cancel()
{
    m_pending = nullptr;
    if (m_timerId)
        killTimer(std::exchange(m_timerId, 0));
}

void CallPacer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId)
        return;
    killTimer(std::exchange(m_timerId, 0));
    m_budget.spendWaited();
    const std::function<void()> call = std::exchange(m_pending, nullptr);
    if (call)
        call();
}
