#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>

// Paces a stream of calls that each make the last one's effect obsolete (showing a value): a few in a
// row run at once, beyond that only the latest of each frame runs, at the frame's end. A poll's single
// call neither waits nor costs a timer.
class CallPacer : public QObject
{
public:
    static constexpr int kFrameMs = 33;
    static constexpr int kBurst = 4;

    explicit CallPacer(QObject *parent, int frameMs = kFrameMs, int burst = kBurst);

    void run(std::function<void()> call);
    // Drops the call that waits for its frame, if any.
    void cancel();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void refill();

    std::function<void()> m_pending;
    int m_frameMs;
    int m_burst;
    double m_allowance;
    QElapsedTimer m_clock;
    qint64 m_refilledMs = 0;
    int m_timerId = 0;
};
