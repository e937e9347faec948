#include "app/discovery/devicescan.h"

#include <QRegularExpression>

namespace {

const QString serialPrefix = QStringLiteral("TQ_SERIES__");

bool isSupportedIdentity(const QString &hardwareId)
{
    static const QRegularExpression idPattern(QStringLiteral("vid_(\\w+)&pid_(\\w+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = idPattern.match(hardwareId);
    return match.captured(1).toUpper().contains(QLatin1String("04D8")) &&
           match.captured(2).toUpper().contains(QLatin1String("000A"));
}

// "USB Serial Device (COM5)" gives COM5; the port is taken from the "(COM" itself so that a "COM" earlier in
// the name ("Communications Port (COM5)") cannot stand in for it.
QString comPortFromFriendlyName(const QString &friendlyName)
{
    const QString name = friendlyName.toUpper();
    const int open = name.indexOf(QLatin1String("(COM"));
    if (open < 0)
        return QString();
    const int close = name.indexOf(QLatin1Char(')'), open);
    if (close < 0)
        return QString();
    // Only a numbered port can be opened: "(COM)" alone names none.
    static const QRegularExpression numbered(QStringLiteral("\\ACOM\\d+\\z"));
    const QString port = name.mid(open + 1, close - open - 1);
    return numbered.match(port).hasMatch() ? port : QString();
}

QString serialText(const UsbDeviceRecord &record)
{
    QString text = record.locationInformation.contains(serialPrefix) ? record.locationInformation
                                                                     : record.busReportedDescription;
    return text.remove(serialPrefix);
}

} // namespace

QList<Dev_info> devicesFromRecords(const QList<UsbDeviceRecord> &records)
{
    QList<Dev_info> devices;
    for (const UsbDeviceRecord &record : records) {
        if (record.hardwareIds.isEmpty() || !isSupportedIdentity(record.hardwareIds.first()))
            continue;
        const QString port =
            record.deviceNode.isEmpty() ? comPortFromFriendlyName(record.friendlyName) : record.deviceNode;
        if (port.isEmpty())
            continue;
        devices.append(Dev_info{port, serialText(record)});
    }
    return devices;
}

QList<Dev_info> devicesFromPortList(const QString &envValue)
{
    QList<Dev_info> devices;
    const QStringList entries = envValue.split(QLatin1Char(';'));
    for (const QString &entry : entries) {
        const int equals = entry.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString port = entry.left(equals).trimmed();
        const QString serial = entry.mid(equals + 1).trimmed();
        if (port.isEmpty() || serial.isEmpty())
            continue;
        devices.append(Dev_info{port, serial});
    }
    return devices;
}

UsbDeviceRecord usbRecordForSerialPort(quint16 vendorId, quint16 productId, const QString &productString,
                                       const QString &systemLocation)
{
    UsbDeviceRecord record;
    record.hardwareIds << QStringLiteral("USB\\VID_%1&PID_%2")
                              .arg(vendorId, 4, 16, QLatin1Char('0'))
                              .arg(productId, 4, 16, QLatin1Char('0'))
                              .toUpper();
    record.friendlyName = productString;
    record.locationInformation = productString;
    record.busReportedDescription = productString;
    record.deviceNode = systemLocation;
    return record;
}

QList<Dev_info> scanDevices(UsbDeviceSource &source)
{
    return devicesFromRecords(source.presentUsbDevices()) +
           devicesFromPortList(qEnvironmentVariable("TQ_CALIBRATOR_PORTS"));
}

QList<Dev_info> scanDevices()
{
    return scanDevices(platformUsbDeviceSource());
}
