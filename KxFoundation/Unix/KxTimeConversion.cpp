#include "KxTimeConversion.h"

#include <cwchar>

namespace Kavo {

namespace {

constexpr std::size_t kBufferUnits = 256;

// wchar_t is 32-bit here: conversions cross the C library one unit at a
// time, and characters beyond the 16-bit plane come back as surrogate pairs.
std::u16string toUtf16(const wchar_t* text)
{
    std::u16string units;
    for (; *text != L'\0'; ++text) {
        const auto value = static_cast<char32_t>(*text);
        if (value < 0x10000) {
            units.push_back(static_cast<char16_t>(value));
        } else {
            units.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
        }
    }
    return units;
}

} // namespace

// The C library here converts times before 1970 too; the 32-bit conversion
// this stands for refuses them.
bool _kx_local_time(int32_t seconds, std::tm& fields)
{
    if (seconds < 0)
        return false;
    const std::time_t value = seconds;
    return localtime_r(&value, &fields) != nullptr;
}

std::u16string _kx_format_time_conversion(const std::u16string& conversion, const std::tm& fields)
{
    const std::wstring wideConversion(conversion.begin(), conversion.end());
    wchar_t buffer[kBufferUnits];
    if (std::wcsftime(buffer, kBufferUnits, wideConversion.c_str(), &fields) == 0)
        return {};
    return toUtf16(buffer);
}

} // namespace Kavo
