#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Turns the raw bytes of a device registry value or device property into text, a list of texts or a number.
// Plain C++ so that the Windows enumeration and the tests on any system share it; texts are UTF-16 units.

// Registry value types as the system reports them.
enum class RegistryType : std::uint32_t
{
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    MultiString = 7,
};

// Device property types; only strings and string lists are ever read.
enum class DevicePropertyType : std::uint32_t
{
    String = 0x00000012,
    StringList = 0x00002012,
};

struct PropertyValue
{
    enum class Kind
    {
        Empty,
        Text,
        TextList,
        Number,
    };

    Kind kind = Kind::Empty;
    std::u16string text;
    std::vector<std::u16string> list;
    std::uint32_t number = 0;

    bool isEmpty() const { return kind == Kind::Empty; }
};

PropertyValue convertRegistryValue(std::uint32_t type, const std::uint8_t *data, std::size_t size);
PropertyValue convertDevicePropertyValue(std::uint32_t type, const std::uint8_t *data, std::size_t size);

// The value read as one text: a number in decimal, a one-element list as its element, otherwise empty.
std::u16string propertyText(const PropertyValue &value);
// The value read as a list of texts: a single text becomes a one-element list.
std::vector<std::u16string> propertyTextList(const PropertyValue &value);
