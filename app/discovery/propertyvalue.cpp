#include "app/discovery/propertyvalue.h"

namespace {

std::size_t unitCount(std::size_t size)
{
    return size / sizeof(char16_t);
}

char16_t unitAt(const std::uint8_t *data, std::size_t index)
{
    // Registry data is little-endian UTF-16; assembling the unit byte by byte also avoids misaligned reads.
    return static_cast<char16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

// Units from 'begin' up to the first NUL or the end of the buffer, whichever comes first.
std::u16string textFrom(const std::uint8_t *data, std::size_t units, std::size_t begin, std::size_t *next)
{
    std::u16string text;
    std::size_t i = begin;
    for (; i < units; ++i) {
        const char16_t unit = unitAt(data, i);
        if (unit == u'\0')
            break;
        text.push_back(unit);
    }
    if (next)
        *next = i + 1;
    return text;
}

PropertyValue textValue(const std::uint8_t *data, std::size_t size)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::Text;
    value.text = textFrom(data, unitCount(size), 0, nullptr);
    return value;
}

PropertyValue textListValue(const std::uint8_t *data, std::size_t size)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::TextList;
    const std::size_t units = unitCount(size);
    std::size_t pos = 0;
    while (pos < units) {
        std::u16string text = textFrom(data, units, pos, &pos);
        if (text.empty())
            break;
        value.list.push_back(std::move(text));
    }
    return value;
}

} // namespace

PropertyValue convertRegistryValue(std::uint32_t type, const std::uint8_t *data, std::size_t size)
{
    if (!data)
        size = 0;
    switch (static_cast<RegistryType>(type)) {
    case RegistryType::String:
    case RegistryType::ExpandString:
        return textValue(data, size);
    case RegistryType::MultiString:
        return textListValue(data, size);
    case RegistryType::Dword:
    case RegistryType::DwordBigEndian: {
        PropertyValue value;
        if (size < 4)
            return value;
        // Taken as stored, without swapping the big-endian kind: that is what the device's registry holds.
        value.kind = PropertyValue::Kind::Number;
        value.number = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 |
                       std::uint32_t(data[3]) << 24;
        return value;
    }
    case RegistryType::None:
    case RegistryType::Binary: {
        PropertyValue value;
        value.kind = PropertyValue::Kind::Text;
        for (std::size_t i = 0; i < unitCount(size); ++i)
            value.text.push_back(unitAt(data, i));
        return value;
    }
    }
    return {};
}

PropertyValue convertDevicePropertyValue(std::uint32_t type, const std::uint8_t *data, std::size_t size)
{
    if (!data)
        size = 0;
    switch (static_cast<DevicePropertyType>(type)) {
    case DevicePropertyType::String:
        return textValue(data, size);
    case DevicePropertyType::StringList:
        return textListValue(data, size);
    }
    return {};
}

std::u16string propertyText(const PropertyValue &value)
{
    switch (value.kind) {
    case PropertyValue::Kind::Text:
        return value.text;
    case PropertyValue::Kind::TextList:
        return value.list.size() == 1 ? value.list.front() : std::u16string();
    case PropertyValue::Kind::Number: {
        const std::string digits = std::to_string(value.number);
        return std::u16string(digits.begin(), digits.end());
    }
    case PropertyValue::Kind::Empty:
        break;
    }
    return {};
}

std::vector<std::u16string> propertyTextList(const PropertyValue &value)
{
    switch (value.kind) {
    case PropertyValue::Kind::Text:
        return {value.text};
    case PropertyValue::Kind::TextList:
        return value.list;
    case PropertyValue::Kind::Number:
    case PropertyValue::Kind::Empty:
        break;
    }
    return {};
}
