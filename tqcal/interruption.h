#pragma once

#include <QObject>

class QSocketNotifier;

// Ctrl+C (SIGINT) and SIGTERM while it exists become a signal in the event loop, so a procedure is
// aborted between two steps instead of the process dying with a write half answered and nothing
// recorded. The handler only writes the signal's number to a socket; everything else runs here.
// One at a time; the default handling is back once it is destroyed.
class Interruption : public QObject
{
    Q_OBJECT
public:
    explicit Interruption(QObject *parent = nullptr);
    ~Interruption() override;

    // False when the handlers could not be installed; the signals then end the process as usual.
    bool isActive() const { return m_notifier != nullptr; }
    // The first signal taken, 0 while none came.
    int signalNumber() const { return m_signal; }
    static QString signalName(int signal);

signals:
    void interrupted(int signal);

private:
    void take();

    int m_fds[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    int m_signal = 0;
};
