#pragma once

#include "device/linesplitter.h"

#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QStringList>

// Lines in and bytes out over any QIODevice (a serial port, a socket, a test double). Lines are
// handed on from the event loop, never from inside the device's readyRead: whoever handles a line
// may open a box, and the device must still be read meanwhile.
class LineChannel : public QObject
{
    Q_OBJECT
public:
    explicit LineChannel(QObject *parent = nullptr);

    // The device to read and write; nullptr detaches. Framing starts afresh.
    void setDevice(QIODevice *device);
    QIODevice *device() const { return m_device; }
    bool isOpen() const;
    // True when the device took at least one byte.
    bool write(const QByteArray &bytes);
    // Feeds bytes as if the device had sent them (tests, replays).
    void receive(const QByteArray &bytes);

signals:
    void lineReceived(const QString &line);
    void bytesSent(const QByteArray &bytes);
    void bytesReceived(const QByteArray &bytes);

private:
    void readAvailable();
    void deliver();

    QPointer<QIODevice> m_device;
    LineSplitter m_splitter;
    QStringList m_lines; // framed, not yet handed on
    bool m_deliveryQueued = false;
};
