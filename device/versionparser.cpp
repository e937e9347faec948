#include "device/versionparser.h"

#include <QRegularExpression>

namespace {

bool isDigits(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("\\A\\d*\\z"));
    return digits.match(text).hasMatch();
}

} // namespace

TqVersion parseTqVersion(const QString &reply)
{
    TqVersion result;
    const bool hasTq = reply.contains(QLatin1String("TQ"));
    if (!hasTq && !reply.contains(QLatin1String("QD700")))
        return result;

    QString s = reply;
    s.remove(QLatin1String("TQ"));
    s.remove(QLatin1String("QD700"));
    s.remove(QLatin1String("T2"));
    s.remove(QLatin1Char('-'));

    if (hasTq) {
        const QString modelText = s.left(2);
        if (!isDigits(modelText))
            return result;
        result.model = modelText.toInt();
    } else {
        if (s.left(2) != QLatin1String("PM"))
            return result;
        result.model = kPmModel;
    }

    // The version is "digit v digit"; without a "v" only the first character is read.
    const int v = s.indexOf(QLatin1Char('v'));
    int start = v - 1;
    int length = 3;
    if (start < 0) {
        length += start;
        start = 0;
    }
    QString versionText = s.mid(start, length);
    versionText.remove(QLatin1Char('v'));
    if (!isDigits(versionText))
        return result;
    result.version = versionText.toInt();
    result.ok = true;
    return result;
}
