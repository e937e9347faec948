#include "app/discovery/devicescan.h"
#include "app/discovery/setupapi_win.h"

namespace {

class SetupApiSource : public UsbDeviceSource
{
public:
    QList<UsbDeviceRecord> presentUsbDevices() override
    {
        QList<UsbDeviceRecord> records;
        for (const SetupApiDeviceRecord &device : enumeratePresentUsbDevices()) {
            UsbDeviceRecord record;
            for (const std::u16string &id : device.hardwareIds)
                record.hardwareIds.append(QString::fromStdU16String(id));
            record.friendlyName = QString::fromStdU16String(device.friendlyName);
            record.locationInformation = QString::fromStdU16String(device.locationInformation);
            record.busReportedDescription = QString::fromStdU16String(device.busReportedDescription);
            records.append(record);
        }
        return records;
    }
};

} // namespace

UsbDeviceSource &platformUsbDeviceSource()
{
    static SetupApiSource source;
    return source;
}
