#include "device/devicesession.h"

#include "device/commandset.h"
#include "device/conversation.h"
#include "device/devicemodels.h"
#include "device/linechannel.h"
#include "device/versionparser.h"

#include <QSerialPort>
#include <QTimer>

namespace {

// Polls remembered while their answers are on the way; the rest had none.
const int kMaxUnansweredPolls = 2;

} // namespace

DeviceSession::DeviceSession(QObject *parent)
    : QObject(parent), m_channel(new LineChannel(this)), m_conversation(new Conversation(m_channel, this)),
      m_pollTimer(new QTimer(this))
{
    qRegisterMetaType<DeviceIdentity>();
    qRegisterMetaType<LiveSample>();
    m_pollTimer->setInterval(kDefaultPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &DeviceSession::pollDue);
    connect(m_conversation, &Conversation::liveLine, this, &DeviceSession::onLiveLine);
}

DeviceSession::~DeviceSession()
{
    close();
}

bool DeviceSession::open(const QString &port, const QString &serial)
{
    close();
    auto *serialPort = new QSerialPort(this);
    serialPort->setPortName(port);
    serialPort->setBaudRate(QSerialPort::Baud115200);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setStopBits(QSerialPort::OneStop);
    if (!serialPort->open(QIODevice::ReadWrite)) {
        m_portError = serialPort->error();
        m_errorString = serialPort->errorString();
        delete serialPort;
        return false;
    }
    m_portError = 0;
    m_errorString.clear();
    m_port = serialPort;
    m_port->setReadBufferSize(LineSplitter::kMaxPending);
    // Queued: the port reports a lost device from inside its own notification.
    connect(
        m_port, &QSerialPort::errorOccurred, this,
        [this, port = QPointer<QSerialPort>(m_port)](QSerialPort::SerialPortError e) {
            // An error queued by a port closed since then says nothing about the one open now.
            if (port && port == m_port)
                onPortError(e);
        },
        Qt::QueuedConnection);
    startOn(m_port, port, serial);
    return true;
}

void DeviceSession::attach(QIODevice *device, const QString &port, const QString &serial)
{
    close();
    startOn(device, port, serial);
}

void DeviceSession::startOn(QIODevice *device, const QString &port, const QString &serial)
{
    m_device = device;
    m_identity = DeviceIdentity();
    m_identity.port = port;
    m_identity.serial = serial;
    setPollCommand(QByteArray());
    m_unansweredPolls.clear();
    m_channel->setDevice(device);
}

void DeviceSession::close()
{
    m_pollTimer->stop();
    m_conversation->close();
    m_channel->setDevice(nullptr);
    m_unansweredPolls.clear();
    m_device = nullptr;
    if (m_port) {
        disconnect(m_port, nullptr, this, nullptr);
        m_port->close();
        // May run inside the port's own notification.
        m_port->deleteLater();
        m_port = nullptr;
    }
}

bool DeviceSession::isOpen() const
{
    return m_device && m_device->isOpen();
}

void DeviceSession::identify(int gapMs, int timeoutMs)
{
    DeviceRequest request = DeviceRequest::query(QStringLiteral("ATCVER"));
    request.gapMs = gapMs;
    if (timeoutMs > 0)
        request.timeoutMs = timeoutMs;
    DeviceReply *reply = m_conversation->send(request);
    connect(reply, &DeviceReply::finished, this, [this, reply] { onVersionReply(reply); });
}

void DeviceSession::onVersionReply(DeviceReply *reply)
{
    if (reply->error() != DeviceReply::NoError) {
        emit identificationFailed(reply->error());
        return;
    }
    QString text = reply->line();
    text.remove(QLatin1String("ATCVER"));
    const TqVersion parsed = parseTqVersion(text);
    if (!parsed.ok || !DeviceModels::isSupported(parsed.model)) {
        emit notSupported(text);
        return;
    }
    m_identity.model = parsed.model;
    m_identity.firmware = parsed.version;
    m_identity.versionText = text;
    setPollCommand(DeviceModels::pollCommand(parsed.model));
    emit identified(m_identity);
}

void DeviceSession::setPollPeriod(int ms)
{
    m_pollTimer->setInterval(ms);
    if (m_pollTimer->isActive())
        m_pollTimer->start();
}

int DeviceSession::pollPeriod() const
{
    return m_pollTimer->interval();
}

void DeviceSession::setPolling(bool on)
{
    if (on)
        m_pollTimer->start();
    else
        m_pollTimer->stop();
}

bool DeviceSession::isPolling() const
{
    return m_pollTimer->isActive();
}

void DeviceSession::setPollCommand(const QByteArray &command)
{
    m_pollCommand = command;
    m_conversation->setLiveWord(QString::fromLatin1(command).trimmed());
}

bool DeviceSession::writePoll()
{
    if (m_pollCommand.isEmpty() || !m_conversation->writeUnawaited(m_pollCommand))
        return false;
    m_unansweredPolls.append(QDateTime::currentDateTimeUtc());
    while (m_unansweredPolls.size() > kMaxUnansweredPolls)
        m_unansweredPolls.removeFirst();
    return true;
}

void DeviceSession::onLiveLine(const QString &line)
{
    LiveSample sample;
    // A line no poll asked for (a streaming device) is stamped when it came.
    sample.pollTime =
        m_unansweredPolls.isEmpty() ? QDateTime::currentDateTimeUtc() : m_unansweredPolls.takeFirst();
    sample.fields = Cmd::liveFields(line, m_conversation->liveWord());
    emit liveSample(sample);
}

// A port whose reads fail for good is treated like an unplugged device; left open, a hung-up
// port reports the same error in a busy loop.
void DeviceSession::onPortError(int error)
{
    if (!m_port || (error != QSerialPort::ResourceError && error != QSerialPort::ReadError))
        return;
    const QString why = m_port->errorString();
    close();
    emit lost(why);
}
