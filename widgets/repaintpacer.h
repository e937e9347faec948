#pragma once

#include "widgets/framebudget.h"

#include <QObject>
#include <QPointer>

class QWidget;

// Paces a window's repaints once they come in a stream: a few in a row are painted at once, beyond
// that one per frame, the updates of a frame painted together at its end. A device that sends hundreds
// of lines a second then costs a screen's worth of repaints, while a poll's few repaints neither wait
// nor cost a timer.
class RepaintPacer : public QObject
{
public:
    static constexpr int kFrameMs = 33;
    static constexpr int kBurst = 8;

    explicit RepaintPacer(QWidget *window, int frameMs = kFrameMs, int burst = kBurst);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QPointer<QWidget> m_window;
    FrameBudget m_budget;
    int m_timerId = 0;
    bool m_releasing = false;
};
