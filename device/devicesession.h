#pragma once

#include "device/devicereply.h"

#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class Conversation;
class LineChannel;

class QSerialPort;
class QTimer;

// Who is on the other end of a session: where it is attached and what it said to "ATCVER".
struct DeviceIdentity
{
    QString port;
    QString serial;
    int model = 0;       // 0 until identified
    int firmware = 0;    // "1v5" gives 15
    QString versionText; // the reply without "ATCVER"
    bool isIdentified() const { return model != 0; }
};

// One live line split into its fields, at the time of the poll it answers.
struct LiveSample
{
    QDateTime pollTime;
    QStringList fields;
};

Q_DECLARE_METATYPE(DeviceIdentity)
Q_DECLARE_METATYPE(LiveSample)

// One attached device: its port, the conversation on it, its poll and its identity. Sessions are
// independent of each other and of any window.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultPollMs = 1000;

    explicit DeviceSession(QObject *parent = nullptr);
    ~DeviceSession() override;

    // Opens a serial port at 115200 8N1; false with errorString() and portError() when it fails.
    bool open(const QString &port, const QString &serial);
    // Talks over a device already open (a socket, a test double); the session does not own it.
    void attach(QIODevice *device, const QString &port, const QString &serial);
    // Ends every request as closed, stops the poll, releases the port. Safe from any handler.
    void close();
    bool isOpen() const;
    QString errorString() const { return m_errorString; }
    // The QSerialPort::SerialPortError of the last failed open, 0 for none.
    int portError() const { return m_portError; }

    // Asks "ATCVER"; identified(), notSupported() or identificationFailed() follows. A time-out
    // of 0 waits as long as any other request.
    void identify(int gapMs = 0, int timeoutMs = 0);
    DeviceIdentity identity() const { return m_identity; }

    LineChannel *channel() const { return m_channel; }
    Conversation *conversation() const { return m_conversation; }

    // The poll: its command comes from the model once identified; pollDue() on each tick.
    QTimer *pollTimer() const { return m_pollTimer; }
    void setPollPeriod(int ms);
    int pollPeriod() const;
    void setPolling(bool on);
    bool isPolling() const;
    QByteArray pollCommand() const { return m_pollCommand; }
    void setPollCommand(const QByteArray &command);
    // Writes the poll unless a command is on the wire; its time stamps the live line answering it.
    bool writePoll();

signals:
    void identified(const DeviceIdentity &identity);
    void notSupported(const QString &versionText);
    void identificationFailed(DeviceReply::Error error);
    void pollDue();
    void liveSample(const LiveSample &sample);
    // The port failed for good (unplugged, hung up); the session has closed it.
    void lost(const QString &why);

private:
    void startOn(QIODevice *device, const QString &port, const QString &serial);
    void onVersionReply(DeviceReply *reply);
    void onLiveLine(const QString &line);
    void onPortError(int error);

    LineChannel *m_channel;
    Conversation *m_conversation;
    QTimer *m_pollTimer;
    QSerialPort *m_port = nullptr;
    QPointer<QIODevice> m_device;
    DeviceIdentity m_identity;
    QByteArray m_pollCommand;
    QString m_errorString;
    int m_portError = 0;
    QList<QDateTime> m_unansweredPolls;
};
