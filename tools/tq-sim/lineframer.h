#pragma once

#include <QByteArray>
#include <QList>

// Cuts a byte stream into LF-terminated lines, keeping a partial line for the next chunk.
// A line longer than the bound is dropped up to its LF so a runaway sender cannot grow memory.
class LineFramer
{
public:
    explicit LineFramer(int maxLineLength = 4096);

    // Complete lines found so far, each with its terminator (CR LF or LF) as received.
    QList<QByteArray> feed(const QByteArray &bytes);

    QByteArray pending() const { return m_buffer; }
    int overflowCount() const { return m_overflows; }
    void clear();

private:
    QByteArray m_buffer;
    int m_maxLineLength;
    int m_overflows = 0;
    bool m_discarding = false;
};
