#include "device/commandset.h"

#include <QtNumeric>

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
    case ATCCAL:
        return QStringLiteral("ATCCAL");
    case ATCMODE:
        return QStringLiteral("ATCMODE");
    case ATCVOCU:
        return QStringLiteral("ATCVOCU");
    case ATCCU:
        return QStringLiteral("ATCCU");
    case ATCUCAL:
        return QStringLiteral("ATCUCAL");
    case ATCFCAL:
        return QStringLiteral("ATCFCAL");
    case ATCWIN:
        return QStringLiteral("ATCWIN");
    case ATCDGFIL:
        return QStringLiteral("ATCDGFIL");
    case ATCSPAN:
        return QStringLiteral("ATCSPAN");
    case ATCSINFO:
        return QStringLiteral("ATCSINFO");
    case ATCDRFT:
        return QStringLiteral("ATCDRFT");
    case ATCCZR:
        return QStringLiteral("ATCCZR");
    case ATCCSP:
        return QStringLiteral("ATCCSP");
    case ATCEXTM:
        return QStringLiteral("ATCEXTM");
    case ATCUSED:
        return QStringLiteral("ATCUSED");
    case ATCBLDTM:
        return QStringLiteral("ATCBLDTM");
    case ATCMODID:
        return QStringLiteral("ATCMODID");
    case ATCMODBR:
        return QStringLiteral("ATCMODBR");
    case ATCMODTO:
        return QStringLiteral("ATCMODTO");
    case ATCMODSW:
        return QStringLiteral("ATCMODSW");
    case ATCFTRST:
        return QStringLiteral("ATCFTRST");
    default:
        return QString();
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
    const int at = word.isEmpty() ? -1 : line.lastIndexOf(word);
    if (at < 0)
        return QString();
    return line.mid(at + word.size());
}

bool containsAny(const QString &line, const QStringList &words)
{
    for (const QString &w : words) {
        if (line.contains(w))
            return true;
    }
    return false;
}

bool containsWord(const QString &line, const QString &word)
{
    if (word.isEmpty())
        return false;
    for (int at = line.indexOf(word); at >= 0; at = line.indexOf(word, at + 1)) {
        const int end = at + word.size();
        if (end >= line.size() || !line.at(end).isUpper() || line.midRef(end).startsWith(QLatin1String("OK")))
            return true;
    }
    return false;
}

std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !qIsFinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> integer(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool isLiveLine(const QString &line, const QString &pollWord)
{
    const int at = pollWord.isEmpty() ? -1 : line.lastIndexOf(pollWord);
    if (at < 0 || at + pollWord.size() >= line.size())
        return false;
    const QChar next = line.at(at + pollWord.size());
    return next.isDigit() || next == QLatin1Char('-') || next == QLatin1Char('+') || next == QLatin1Char('.');
}

QStringList liveFields(const QString &line, const QString &pollWord)
{
    return replyValue(line, pollWord).split(QLatin1Char(','), Qt::KeepEmptyParts);
}

QString showLineEnds(const QByteArray &bytes)
{
    QByteArray shown = bytes;
    shown.replace("\r\n", "[CR][LF]");
    return QString::fromUtf8(shown);
}

} // namespace Cmd
