#pragma once

#include <string>
#include <vector>

// The properties the scan needs of one present USB device, as SetupAPI reports them (UTF-16 texts).
struct SetupApiDeviceRecord
{
    std::vector<std::u16string> hardwareIds;
    std::u16string friendlyName;
    std::u16string locationInformation;
    std::u16string busReportedDescription;
};

// Walks the present USB device interfaces in enumeration order; empty when the device set cannot be opened.
std::vector<SetupApiDeviceRecord> enumeratePresentUsbDevices();
