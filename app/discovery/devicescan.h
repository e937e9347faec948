#pragma once

#include "app/dev_info.h"

#include <QList>
#include <QString>
#include <QStringList>

// One present USB device as the platform reports it, before any of the scan's rules are applied.
struct UsbDeviceRecord
{
    QStringList hardwareIds;
    QString friendlyName;
    QString locationInformation;
    QString busReportedDescription;
    // The port to open where the platform names it directly (e.g. /dev/ttyACM0); empty on Windows,
    // where the port comes from the friendly name.
    QString deviceNode;
};

// Yields the present USB devices; the platform has one, tests and the main window may substitute their own.
class UsbDeviceSource
{
public:
    virtual ~UsbDeviceSource() = default;
    virtual QList<UsbDeviceRecord> presentUsbDevices() = 0;
};

// The source of this platform: SetupAPI on Windows, the serial-port list elsewhere.
UsbDeviceSource &platformUsbDeviceSource();

// Keeps the records of the supported USB identity that have a port and turns them into devices, in order.
QList<Dev_info> devicesFromRecords(const QList<UsbDeviceRecord> &records);

// Parses "PORT=SERIAL;PORT=SERIAL..." as held by TQ_CALIBRATOR_PORTS; malformed entries are skipped.
QList<Dev_info> devicesFromPortList(const QString &envValue);

// The record of a USB serial port reported with its node, vendor and product IDs and product string.
UsbDeviceRecord usbRecordForSerialPort(quint16 vendorId, quint16 productId, const QString &productString,
                                       const QString &systemLocation);

// The source's devices followed by the entries of TQ_CALIBRATOR_PORTS, read anew on every call.
QList<Dev_info> scanDevices(UsbDeviceSource &source);
QList<Dev_info> scanDevices();
