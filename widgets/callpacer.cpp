#include "widgets/callpacer.h"

#include <QTimerEvent>

#include <algorithm>
#include <utility>

CallPacer::CallPacer(QObject *parent, int frameMs, int burst)
    : QObject(parent), m_frameMs(std::max(1, frameMs)), m_burst(std::max(1, burst)), m_allowance(m_burst)
{
    m_clock.start();
}

void CallPacer::refill()
{
    const qint64 now = m_clock.elapsed();
    m_allowance = std::min<double>(m_burst, m_allowance + double(now - m_refilledMs) / m_frameMs);
    m_refilledMs = now;
}

void CallPacer::run(std::function<void()> call)
{
    if (m_timerId) {
        m_pending = std::move(call);
        return;
    }
    refill();
    if (m_allowance >= 1) {
        m_allowance -= 1;
        call();
        return;
    }
    m_pending = std::move(call);
    m_timerId = startTimer(int((1 - m_allowance) * m_frameMs) + 1, Qt::PreciseTimer);
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
    refill();
    m_allowance = std::max(0.0, m_allowance - 1);
    const std::function<void()> call = std::exchange(m_pending, nullptr);
    if (call)
        call();
}
