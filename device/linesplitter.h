#pragma once

#include <QByteArray>
#include <QStringList>

// Cuts the byte stream from the device into reply lines. A line is handed on only once its LF
// has arrived; CR, NUL and blanks are dropped and empty lines skipped.
class LineSplitter
{
public:
    // Longest unfinished line kept between reads; a device that never sends LF cannot grow it.
    static constexpr int kMaxPending = 4096;

    // Returns the complete lines of everything received so far, in arrival order.
    QStringList feed(const QByteArray &chunk);
    // Drops an unfinished line, e.g. when the port closes.
    void reset();

    int pendingSize() const { return m_pending.size(); }
    // True when the last feed had to hand on an unfinished line because it grew past kMaxPending.
    bool lastFeedOverflowed() const { return m_overflowed; }

private:
    QByteArray m_pending;
    bool m_overflowed = false;
};
