#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QWidget;

// Paces a window's repaints: updates asked for within a frame of the last repaint are painted
// together at the frame's end, so a device that sends hundreds of lines a second costs a screen's
// worth of repaints, not one per line. An update after a quiet frame is painted at once.
class RepaintPacer : public QObject
{
public:
    static constexpr int kFrameMs = 33;

    explicit RepaintPacer(QWidget *window, int frameMs = kFrameMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QPointer<QWidget> m_window;
    int m_frameMs;
    QElapsedTimer m_sinceRepaint;
    int m_timerId = 0;
    bool m_releasing = false;
};
