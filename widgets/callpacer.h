#pragma once

#include "widgets/framebudget.h"

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
    std::function<void()> m_pending;
    FrameBudget m_budget;
    int m_timerId = 0;
};
