#include "lineframer.h"

LineFramer::LineFramer(int maxLineLength) : m_maxLineLength(qMax(2, maxLineLength)) {}

QList<QByteArray> LineFramer::feed(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    int start = 0;
    while (start < bytes.size()) {
        const int lf = bytes.indexOf('\n', start);
        if (lf < 0) {
            if (!m_discarding)
                m_buffer.append(bytes.constData() + start, bytes.size() - start);
            if (m_buffer.size() > m_maxLineLength) {
                m_buffer.clear();
                m_discarding = true;
                ++m_overflows;
            }
            break;
        }
        if (m_discarding) {
            m_discarding = false;
        } else {
            m_buffer.append(bytes.constData() + start, lf + 1 - start);
            if (m_buffer.size() > m_maxLineLength + 1)
                ++m_overflows;
            else
                lines.append(m_buffer);
        }
        m_buffer.clear();
        start = lf + 1;
    }
    return lines;
}

void LineFramer::clear()
{
    m_buffer.clear();
    m_discarding = false;
}
