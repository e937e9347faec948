#include "app/linesplitter.h"

#include <QString>

namespace {

void appendLine(QStringList &lines, const QByteArray &raw)
{
    QString line = QString::fromUtf8(raw);
    line.remove(QLatin1Char(' '));
    if (!line.isEmpty())
        lines.append(line);
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
            appendLine(lines, m_pending);
            m_pending.clear();
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

QString showLineEnds(const QByteArray &bytes)
{
    QByteArray shown = bytes;
    shown.replace("\r\n", "[CR][LF]");
    return QString::fromUtf8(shown);
}
