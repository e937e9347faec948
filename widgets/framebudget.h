#pragma once

#include <QElapsedTimer>

#include <algorithm>

// How many paced actions may go at once: a burst at first, then one more each frame up to the
// burst again. Shared by the pacers, which differ only in what they hold back.
class FrameBudget
{
public:
    FrameBudget(int frameMs, int burst)
        : m_frameMs(std::max(1, frameMs)), m_burst(std::max(1, burst)), m_allowance(m_burst)
    {
        m_clock.start();
    }

    // True, and one spent, when an action may go now.
    bool take()
    {
        refill();
        if (m_allowance < 1)
            return false;
        m_allowance -= 1;
        return true;
    }
    // After a refused take: how long until the next action may go.
    int waitMs() const { return int((1 - m_allowance) * m_frameMs) + 1; }
    // A held-back action went at its frame's end.
    void spendWaited()
    {
        refill();
        m_allowance = std::max(0.0, m_allowance - 1);
    }

private:
    void refill()
    {
        const qint64 now = m_clock.elapsed();
        m_allowance = std::min<double>(m_burst, m_allowance + double(now - m_refilledMs) / m_frameMs);
        m_refilledMs = now;
    }

    int m_frameMs;
    int m_burst;
    double m_allowance;
    QElapsedTimer m_clock;
    qint64 m_refilledMs = 0;
};
