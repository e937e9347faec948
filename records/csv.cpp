#include "records/csv.h"

namespace Csv {

QByteArray byteOrderMark()
{
    return QByteArrayLiteral("\xEF\xBB\xBF");
}

QByteArray line(const QStringList &cells)
{
    QStringList quoted;
    quoted.reserve(cells.size());
    for (const QString &cell : cells) {
        const bool needsQuotes = cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                                 cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r'));
        if (!needsQuotes) {
            quoted.append(cell);
            continue;
        }
        QString text = cell;
        text.replace(QLatin1Char('"'), QLatin1String("\"\""));
        quoted.append(QLatin1Char('"') + text + QLatin1Char('"'));
    }
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

} // namespace Csv
