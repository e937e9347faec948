#include "app/discovery/devicescan.h"

#include <QSerialPortInfo>

namespace {

// Serial ports that carry USB vendor and product IDs; the serial-port module reads them through udev or
// sysfs.
class SerialPortInfoSource : public UsbDeviceSource
{
public:
    QList<UsbDeviceRecord> presentUsbDevices() override
    {
        QList<UsbDeviceRecord> records;
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &port : ports) {
            if (!port.hasVendorIdentifier() || !port.hasProductIdentifier())
                continue;
            records.append(usbRecordForSerialPort(port.vendorIdentifier(), port.productIdentifier(),
                                                  port.description(), port.systemLocation()));
        }
        return records;
    }
};

} // namespace

UsbDeviceSource &platformUsbDeviceSource()
{
    static SerialPortInfoSource source;
    return source;
}
