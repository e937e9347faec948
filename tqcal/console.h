#pragma once

#include <QString>
#include <QStringList>

// Data goes to stdout, messages to stderr, both as UTF-8 lines, each flushed at once so that a
// pipe or a file sees it while a long command still runs.
namespace Console {

void data(const QString &line);
void message(const QString &text); // prefixed "tqcal: "
// Whether a person can be asked: stdin and stderr are terminals.
bool isInteractive();
// Asks on stderr, reads one line from stdin; only "y" or "yes" (any case) is yes.
bool askYes(const QString &question);

} // namespace Console

// A JSON object with its keys in the order added (QJsonObject sorts them).
class JsonObjectText
{
public:
    JsonObjectText &add(const QString &key, const QString &value); // a null text gives null
    JsonObjectText &addRaw(const QString &key, const QString &json);
    QString text() const;

private:
    QStringList m_members;
};

// A text as a JSON string literal, quotes included.
QString jsonString(const QString &text);
