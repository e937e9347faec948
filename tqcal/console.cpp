#include "tqcal/console.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <io.h>
#define TQ_ISATTY _isatty
#define TQ_FILENO _fileno
#else
#include <unistd.h>
#define TQ_ISATTY isatty
#define TQ_FILENO fileno
#endif

namespace {

void writeLine(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void Console::data(const QString &line)
{
    writeLine(stdout, line);
}

void Console::message(const QString &text)
{
    writeLine(stderr, QLatin1String("tqcal: ") + text);
}

bool Console::isInteractive()
{
    return TQ_ISATTY(TQ_FILENO(stdin)) && TQ_ISATTY(TQ_FILENO(stderr));
}

bool Console::askYes(const QString &question)
{
    const QByteArray bytes = (question + QLatin1String(" [y/N] ")).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    const QString text = QString::fromStdString(answer).trimmed().toLower();
    return text == QLatin1String("y") || text == QLatin1String("yes");
}

JsonObjectText &JsonObjectText::add(const QString &key, const QString &value)
{
    return addRaw(key, value.isNull() ? QStringLiteral("null") : jsonString(value));
}

JsonObjectText &JsonObjectText::addRaw(const QString &key, const QString &json)
{
    m_members.append(jsonString(key) + QLatin1String(": ") + json);
    return *this;
}

QString JsonObjectText::text() const
{
    return QLatin1Char('{') + m_members.join(QLatin1String(", ")) + QLatin1Char('}');
}

QString jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    // ["..."] -> "..."
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}
