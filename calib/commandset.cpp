#include "calib/commandset.h"

#include "chart/chartmath.h"

namespace Cmd {

QString word(int id)
{
    switch (id) {
    case ATCOFF1:
    case ATCOFF2:
    case ATCOFF3:
    case ATCOFF4:
    case ATCOFF5:
        return QStringLiteral("ATCOFF") + QString::number(id - ATCOFF1 + 1);
    case ATCCAL: return QStringLiteral("ATCCAL");
    case ATCMODE: return QStringLiteral("ATCMODE");
    case ATCVOCU: return QStringLiteral("ATCVOCU");
    case ATCCU: return QStringLiteral("ATCCU");
    case ATCUCAL: return QStringLiteral("ATCUCAL");
    case ATCFCAL: return QStringLiteral("ATCFCAL");
    case ATCWIN: return QStringLiteral("ATCWIN");
    case ATCDGFIL: return QStringLiteral("ATCDGFIL");
    case ATCSPAN: return QStringLiteral("ATCSPAN");
    case ATCSINFO: return QStringLiteral("ATCSINFO");
    case ATCDRFT: return QStringLiteral("ATCDRFT");
    case ATCCZR: return QStringLiteral("ATCCZR");
    case ATCCSP: return QStringLiteral("ATCCSP");
    case ATCEXTM: return QStringLiteral("ATCEXTM");
    case ATCUSED: return QStringLiteral("ATCUSED");
    case ATCBLDTM: return QStringLiteral("ATCBLDTM");
    case ATCMODID: return QStringLiteral("ATCMODID");
    case ATCMODBR: return QStringLiteral("ATCMODBR");
    case ATCMODTO: return QStringLiteral("ATCMODTO");
    case ATCMODSW: return QStringLiteral("ATCMODSW");
    case ATCFTRST: return QStringLiteral("ATCFTRST");
    default: return QString();
    }
}

int offsetId(int channel)
{
    return channel >= 1 && channel <= 5 ? ATCOFF1 + channel - 1 : NoCommand;
}

QString query(int id)
{
    return word(id) + QLatin1String("\r\n");
}

QString write(int id, const QString &argument)
{
    return word(id) + QLatin1Char(' ') + argument + QLatin1String("\r\n");
}

QString decimal2(double value)
{
    return QString::number(value, 'f', 2);
}

QString replyValue(const QString &line, const QString &word)
{
    const int at = word.isEmpty() ? -1 : line.indexOf(word);
    if (at < 0)
        return QString();
    return line.mid(at).remove(word);
}

bool containsAny(const QString &line, const QStringList &words)
{
    for (const QString &w : words) {
        if (line.contains(w))
            return true;
    }
    return false;
}

QStringList liveFields(const QString &line, const QString &keyword, int count)
{
    QString rest = line;
    if (!keyword.isEmpty())
        rest.remove(keyword);
    const QStringList fields = rest.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (fields.size() < count)
        return QVector<QString>(count).toList();
    return fields;
}

double chartValue(const QString &field)
{
    if (field.contains(QLatin1String("----")))
        return Chart::NoValue;
    return field.toDouble();
}

} // namespace Cmd
