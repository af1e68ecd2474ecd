#include "KxConversion.h"

#include "KxUtf8Facet.h"
#include "KxFoundation/KxRecursiveMutex.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace Kavo {

namespace {

using WideCodecvt = std::codecvt<wchar_t, char, std::mbstate_t>;

// A user locale the C++ library cannot build (an uninstalled LANG, or a
// runtime without named locales) falls back to the classic one; the UTF-8
// conversion is kept either way.
std::locale userDefaultLocale()
{
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

} // namespace

const std::locale& _kx_conversion_locale()
{
    KxScopedLock lock(&_kx_conversion_mutex());
    static const std::locale locale(userDefaultLocale(), new detail::utf8_codecvt_facet);
    return locale;
}

KxRecursiveMutex& _kx_conversion_mutex()
{
    static KxRecursiveMutex mutex(false);
    return mutex;
}

std::u16string _kx_decode_narrow(const char* bytes, const std::locale& locale)
{
    const std::size_t count = std::strlen(bytes);
    std::vector<wchar_t> wide(count + 1, L'\0');
    std::mbstate_t state{};
    const char* nextByte = nullptr;
    wchar_t* nextUnit = nullptr;
    const auto result = std::use_facet<WideCodecvt>(locale).in(
        state, bytes, bytes + count, nextByte, wide.data(), wide.data() + count, nextUnit);
    if (result == std::codecvt_base::error)
        return {};
    std::u16string text;
    for (const wchar_t value : wide) {
        const auto unit = static_cast<char16_t>(value & 0xFFFF);
        if (unit == u'\0')
            break;
        text.push_back(unit);
    }
    return text;
}

std::string _kx_encode_narrow(const char16_t* units, std::size_t count, const std::locale& locale)
{
    const auto& codecvt = std::use_facet<WideCodecvt>(locale);
    const std::wstring wide(units, units + count);
    std::vector<char> bytes((count + 1) * codecvt.max_length(), '\0');
    std::mbstate_t state{};
    const wchar_t* nextUnit = nullptr;
    char* nextByte = nullptr;
    const auto result = codecvt.out(state, wide.data(), wide.data() + wide.size(), nextUnit,
                                    bytes.data(), bytes.data() + bytes.size(), nextByte);
    if (result == std::codecvt_base::error)
        return {};
    return std::string(bytes.data());
}

} // namespace Kavo
