#include "app/discovery/setupapi_win.h"

#include "app/discovery/propertyvalue.h"

#include <algorithm>

#include <windows.h>

#include <devpropdef.h>
#include <setupapi.h>

static_assert(REG_NONE == static_cast<DWORD>(RegistryType::None), "registry type code");
static_assert(REG_SZ == static_cast<DWORD>(RegistryType::String), "registry type code");
static_assert(REG_EXPAND_SZ == static_cast<DWORD>(RegistryType::ExpandString), "registry type code");
static_assert(REG_BINARY == static_cast<DWORD>(RegistryType::Binary), "registry type code");
static_assert(REG_DWORD == static_cast<DWORD>(RegistryType::Dword), "registry type code");
static_assert(REG_DWORD_BIG_ENDIAN == static_cast<DWORD>(RegistryType::DwordBigEndian), "registry type code");
static_assert(REG_MULTI_SZ == static_cast<DWORD>(RegistryType::MultiString), "registry type code");
static_assert(DEVPROP_TYPE_STRING == static_cast<DEVPROPTYPE>(DevicePropertyType::String),
              "property type code");
static_assert(DEVPROP_TYPE_STRING_LIST == static_cast<DEVPROPTYPE>(DevicePropertyType::StringList),
              "property type code");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

namespace {

// GUID_DEVINTERFACE_USB_DEVICE and DEVPKEY_Device_BusReportedDeviceDesc, spelled out so that no
// GUID-defining header has to be pulled in.
const GUID usbDeviceInterfaceClass = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
const DEVPROPKEY busReportedDeviceDescKey = {
    {0x540B947E, 0x8B40, 0x45BC, {0xA8, 0xA2, 0x6A, 0x0B, 0x89, 0x4C, 0xBD, 0xA2}}, 4};

} // namespace

PropertyValue readRegistryProperty(HDEVINFO deviceSet, SP_DEVINFO_DATA *deviceData, DWORD property)
{
    DWORD type = 0;
    DWORD required = 0;
    SetupDiGetDeviceRegistryPropertyW(deviceSet, deviceData, property, &type, nullptr, 0, &required);
    if (required == 0)
        return {};
    std::vector<BYTE> buffer(required, 0);
    if (!SetupDiGetDeviceRegistryPropertyW(deviceSet, deviceData, property, &type, buffer.data(),
                                           static_cast<DWORD>(buffer.size()), &required))
        return {};
    return convertRegistryValue(type, buffer.data(), std::min<std::size_t>(required, buffer.size()));
}

PropertyValue readDeviceProperty(HDEVINFO deviceSet, SP_DEVINFO_DATA *deviceData,
                                 const DEVPROPKEY &propertyKey)
{
    DEVPROPTYPE type = 0;
    DWORD required = 0;
    SetupDiGetDevicePropertyW(deviceSet, deviceData, &propertyKey, &type, nullptr, 0, &required, 0);
    if (required == 0)
        return {};
    std::vector<BYTE> buffer(required, 0);
    if (!SetupDiGetDevicePropertyW(deviceSet, deviceData, &propertyKey, &type, buffer.data(),
                                   static_cast<DWORD>(buffer.size()), &required, 0))
        return {};
    return convertDevicePropertyValue(type, buffer.data(), std::min<std::size_t>(required, buffer.size()));
}

std::vector<SetupApiDeviceRecord> enumeratePresentUsbDevices()
{
    std::vector<SetupApiDeviceRecord> records;
    HDEVINFO deviceSet = SetupDiGetClassDevsW(&usbDeviceInterfaceClass, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (deviceSet == INVALID_HANDLE_VALUE)
        return records;

    SP_DEVINFO_DATA deviceData = {};
    deviceData.cbSize = sizeof(deviceData);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(deviceSet, index, &deviceData); ++index) {
        SetupApiDeviceRecord record;
        record.hardwareIds = propertyTextList(readRegistryProperty(deviceSet, &deviceData, SPDRP_HARDWAREID));
        record.friendlyName = propertyText(readRegistryProperty(deviceSet, &deviceData, SPDRP_FRIENDLYNAME));
        record.locationInformation =
            propertyText(readRegistryProperty(deviceSet, &deviceData, SPDRP_LOCATION_INFORMATION));
        record.busReportedDescription =
            propertyText(readDeviceProperty(deviceSet, &deviceData, busReportedDeviceDescKey));
        records.push_back(std::move(record));
    }

    SetupDiDestroyDeviceInfoList(deviceSet);
    return records;
}
