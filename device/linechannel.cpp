#include "device/linechannel.h"

#include <QIODevice>

LineChannel::LineChannel(QObject *parent) : QObject(parent) {}

void LineChannel::setDevice(QIODevice *device)
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = device;
    m_splitter.reset();
    m_lines.clear();
    if (device)
        connect(device, &QIODevice::readyRead, this, &LineChannel::readAvailable);
}

bool LineChannel::isOpen() const
{
    return m_device && m_device->isOpen();
}

bool LineChannel::write(const QByteArray &bytes)
{
    if (!isOpen() || m_device->write(bytes) <= 0)
        return false;
    emit bytesSent(bytes);
    return true;
}

void LineChannel::readAvailable()
{
    if (m_device)
        receive(m_device->readAll());
}

void LineChannel::receive(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    emit bytesReceived(bytes);
    m_lines += m_splitter.feed(bytes);
    if (m_lines.isEmpty() || m_deliveryQueued)
        return;
    m_deliveryQueued = true;
    QMetaObject::invokeMethod(this, &LineChannel::deliver, Qt::QueuedConnection);
}

void LineChannel::deliver()
{
    m_deliveryQueued = false;
    // A handler that runs the event loop lets a nested delivery take the next lines: one at a
    // time from the member list keeps them in order either way.
    QPointer<LineChannel> self(this);
    while (self && !m_lines.isEmpty())
        emit lineReceived(m_lines.takeFirst());
}
