#include "tqcal/devicelink.h"

#include "app/discovery/devicescan.h"
#include "device/devicemodels.h"
#include "tqcal/exitcode.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool samePort(const QString &a, const QString &b)
{
    if (a.compare(b, Qt::CaseInsensitive) == 0)
        return true;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

// Told apart by whether this user may open the file at all: the serial-port module reports both
// a lock held by another program and a refused open as a permission error.
bool mayOpen(const QString &port)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(port).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(port)
    return true;
#endif
}

} // namespace

FoundDevice findDevice(const QString &port, const QString &serial)
{
    const auto matches = [&](const Dev_info &device) {
        return port.isEmpty() ? device.serialNo == serial : samePort(device.port, port);
    };
    // The environment's entries first: they cost nothing, where the USB enumeration looks at every
    // tty of the system and takes most of the start-up.
    for (const Dev_info &device : devicesFromPortList(qEnvironmentVariable("TQ_CALIBRATOR_PORTS"))) {
        if (matches(device))
            return {device, ExitCode::Done, QString()};
    }
    const QList<Dev_info> devices = scanDevices();
    for (const Dev_info &device : devices) {
        if (matches(device))
            return {device, ExitCode::Done, QString()};
    }
    FoundDevice none;
    none.code = ExitCode::NoDevice;
    if (!port.isEmpty()) {
        none.message = QFileInfo::exists(port)
                           ? QStringLiteral("no TQ device on %1: discovery does not list it (a port without "
                                            "a USB identity is named in TQ_CALIBRATOR_PORTS)")
                                 .arg(port)
                           : QStringLiteral("%1: gone (no such port)").arg(port);
        return none;
    }
    QStringList serials;
    for (const Dev_info &device : devices)
        serials.append(device.serialNo);
    none.message =
        QStringLiteral("no device with serial %1 (%2)")
            .arg(serial, serials.isEmpty() ? QStringLiteral("no device found")
                                           : QLatin1String("found: ") + serials.join(QLatin1String(", ")));
    return none;
}

QString openFailureText(const QString &port, int portError, const QString &errorString)
{
    QString why;
    switch (portError) {
    case QSerialPort::DeviceNotFoundError:
        why = QStringLiteral("gone (no such port)");
        break;
    case QSerialPort::OpenError:
        why = QStringLiteral("busy (already open)");
        break;
    case QSerialPort::PermissionError:
        why = mayOpen(port) ? QStringLiteral("busy (another program holds it; close it)")
                            : QStringLiteral("permission (you may not open it: install the udev rule)");
        break;
    default:
        why = errorString;
        break;
    }
    return QStringLiteral("cannot open %1: %2").arg(port, why);
}

DeviceLink::DeviceLink(int timeoutMs, QObject *parent) : QObject(parent), m_timeoutMs(timeoutMs)
{
    connect(&m_session, &DeviceSession::lost, this, [this](const QString &why) {
        m_lost = true;
        m_lostWhy = why;
        emit deviceLost();
    });
}

int DeviceLink::fail(int code, const QString &text)
{
    m_code = code;
    m_failure = text;
    return code;
}

bool DeviceLink::connectTo(const Dev_info &device)
{
    if (!m_session.open(device.port, device.serialNo)) {
        fail(ExitCode::NoDevice,
             openFailureText(device.port, m_session.portError(), m_session.errorString()));
        return false;
    }
    QEventLoop loop;
    connect(&m_session, &DeviceSession::identified, &loop, [&] { loop.quit(); });
    connect(&m_session, &DeviceSession::notSupported, &loop, [&](const QString &text) {
        fail(ExitCode::NoDevice,
             QStringLiteral("%1 is no supported TQ device: ATCVER %2").arg(device.port, text));
        loop.quit();
    });
    connect(&m_session, &DeviceSession::identificationFailed, &loop, [&](DeviceReply::Error error) {
        Answer answer;
        answer.error = error;
        failWith(QStringLiteral("ATCVER"), answer);
        loop.quit();
    });
    m_session.identify(0, m_timeoutMs);
    loop.exec();
    return identity().isIdentified() && m_code == 0;
}

QString DeviceLink::modelName() const
{
    return DeviceModels::name(identity().model);
}

QString DeviceLink::firmwareText() const
{
    return identity().versionText.section(QLatin1Char('-'), -1);
}

DeviceLink::Answer DeviceLink::ask(DeviceRequest request)
{
    Answer answer;
    if (!m_session.isOpen())
        return answer;
    request.timeoutMs = m_timeoutMs;
    request.otherReplies.append(QStringLiteral("ERROR"));
    DeviceReply *reply = m_session.conversation()->send(request);
    QEventLoop loop;
    connect(reply, &DeviceReply::finished, &loop, [&] {
        answer = {reply->error(), reply->line(), reply->value()};
        loop.quit();
    });
    loop.exec();
    return answer;
}

int DeviceLink::failWith(const QString &what, const Answer &answer)
{
    if (m_lost) {
        // A hung-up port often carries no system text worth showing.
        const bool told = !m_lostWhy.isEmpty() && m_lostWhy != QLatin1String("Unknown error");
        return fail(ExitCode::NoDevice,
                    QStringLiteral("%1: the device is gone (unplugged, or its port closed%2)")
                        .arg(what, told ? QLatin1String(": ") + m_lostWhy : QString()));
    }
    switch (answer.error) {
    case DeviceReply::NoError:
        return ExitCode::Done;
    case DeviceReply::NoAnswer:
        return fail(ExitCode::NoAnswer,
                    QStringLiteral("%1: no answer in time (%2 ms)").arg(what).arg(m_timeoutMs));
    case DeviceReply::Rejected:
    case DeviceReply::Refused:
    case DeviceReply::Unreadable:
        return fail(ExitCode::Refused,
                    QStringLiteral("%1: refused by the device: %2").arg(what, answer.line));
    case DeviceReply::WriteFailed:
    case DeviceReply::Closed:
        break;
    }
    return fail(ExitCode::NoDevice,
                QStringLiteral("%1: the port closed (%2)").arg(what, DeviceReply::errorText(answer.error)));
}
