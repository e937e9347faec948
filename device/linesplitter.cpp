#include "device/linesplitter.h"

#include <QString>

namespace {

void appendLine(QStringList &lines, const QByteArray &raw)
{
    QString line = QString::fromUtf8(raw);
    line.remove(QLatin1Char(' '));
    if (!line.isEmpty())
        lines.append(line);
}

// Where an overlong line may be cut without splitting a UTF-8 character: before a last character
// whose bytes have not all arrived.
int characterBoundary(const QByteArray &bytes)
{
    int start = bytes.size() - 1;
    while (start > 0 && (uchar(bytes.at(start)) & 0xC0) == 0x80 && bytes.size() - start < 4)
        --start;
    const uchar lead = uchar(bytes.at(start));
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return start > 0 && start + length > bytes.size() ? start : bytes.size();
}

} // namespace

QStringList LineSplitter::feed(const QByteArray &chunk)
{
    QStringList lines;
    m_overflowed = false;
    m_pending.reserve(qMin(kMaxPending, m_pending.size() + chunk.size()));
    for (const char c : chunk) {
        if (c == '\0' || c == '\r')
            continue;
        if (c == '\n') {
            appendLine(lines, m_pending);
            m_pending.clear();
            continue;
        }
        m_pending.append(c);
        if (m_pending.size() >= kMaxPending) {
            const int cut = characterBoundary(m_pending);
            appendLine(lines, m_pending.left(cut));
            m_pending.remove(0, cut);
            m_overflowed = true;
        }
    }
    return lines;
}

void LineSplitter::reset()
{
    m_pending.clear();
    m_overflowed = false;
}
