#include "app/discovery/devicescan.h"
#include "app/discovery/propertyvalue.h"
#include "fuzzcheck.h"

#include <QRegularExpression>

// The device-scan rules on what the system reports: registry and property bytes of any kind and
// size, USB records and TQ_CALIBRATOR_PORTS text. Every device found has a port to open.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const std::uint32_t type = data[0] | (data[1] << 8);
    const PropertyValue registry = convertRegistryValue(type % 9, data + 2, size - 2);
    const PropertyValue property = convertDevicePropertyValue(data[1] & 1 ? 0x12 : 0x2012, data + 2, size - 2);
    for (const PropertyValue &value : {registry, property}) {
        const std::u16string text = propertyText(value);
        const std::vector<std::u16string> list = propertyTextList(value);
        FUZZ_CHECK(value.kind != PropertyValue::Kind::Empty || (text.empty() && list.empty()));
    }

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), int(size - 2));
    const QStringList parts = text.split(QLatin1Char('|'));
    UsbDeviceRecord record;
    record.hardwareIds = QStringList(parts.value(0));
    record.friendlyName = parts.value(1);
    record.locationInformation = parts.value(2);
    record.busReportedDescription = parts.value(3);
    record.deviceNode = data[0] & 1 ? parts.value(4) : QString();
    static const QRegularExpression comPort(QStringLiteral("\\ACOM\\d+\\z"));
    for (const Dev_info &device : devicesFromRecords({record})) {
        FUZZ_CHECK(!device.port.isEmpty());
        FUZZ_CHECK(device.port == record.deviceNode || comPort.match(device.port).hasMatch());
    }
    for (const Dev_info &device : devicesFromPortList(text)) {
        FUZZ_CHECK(!device.port.isEmpty() && !device.serialNo.isEmpty());
        FUZZ_CHECK(!device.port.contains(QLatin1Char(';')) && !device.serialNo.contains(QLatin1Char(';')));
    }
    return 0;
}
