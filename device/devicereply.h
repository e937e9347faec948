#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The outcome of one request to the device. Handed out by the conversation, which deletes it
// after finished() has been delivered; keep a QPointer to look at it later.
class DeviceReply : public QObject
{
    Q_OBJECT
public:
    enum Error
    {
        NoError,
        NoAnswer,    // no reply within the request's time-out
        Rejected,    // another reply came instead of the awaited one
        Refused,     // the device answered without taking the command (actions without "OK")
        Unreadable,  // the reply holds no readable value
        WriteFailed, // the port took no byte of the command
        Closed,      // the conversation ended before the reply came
    };
    Q_ENUM(Error)

    QByteArray command() const { return m_command; }
    QString word() const { return m_word; }
    bool isFinished() const { return m_finished; }
    Error error() const { return m_error; }
    // The whole reply line, and what follows the word in it.
    QString line() const { return m_line; }
    QString value() const { return m_value; }
    // A short English text of the error for logs and the command line.
    static QString errorText(Error error);

    // Callers that read the reply further mark it: refused or unreadable.
    void setError(Error error) { m_error = error; }

signals:
    void finished();

private:
    friend class Conversation;
    DeviceReply(const QByteArray &command, const QString &word, QObject *parent)
        : QObject(parent), m_command(command), m_word(word)
    {
    }

    QByteArray m_command;
    QString m_word;
    bool m_finished = false;
    Error m_error = NoError;
    QString m_line;
    QString m_value;
};
