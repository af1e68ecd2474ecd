#include "KxFoundation/Unix/KxNativePath.h"

#include "KxConversion.h"
#include "KxFoundation/KxRecursiveMutex.h"
#include "KxFoundation/KxString.h"

#include <algorithm>
#include <vector>

namespace Kavo {

namespace {

using WideCodecvt = std::codecvt<wchar_t, char, std::mbstate_t>;
static_assert(sizeof(wchar_t) == 4, "wide text holds whole code points here");

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Surrogate pairs become one code point, so that a name beyond the Basic
// Multilingual Plane is stored as proper UTF-8; a lone surrogate is kept (and
// the encoding then refuses it).
std::wstring codePoints(const KxString& text)
{
    const char16_t* units = text.c_str();
    std::wstring points;
    for (uint32_t index = 0; index < text.length(); ++index) {
        const char16_t unit = units[index];
        if (isHighSurrogate(unit) && index + 1 < text.length() && isLowSurrogate(units[index + 1])) {
            points.push_back(wchar_t(0x10000 + ((unit - 0xD800) << 10) + (units[index + 1] - 0xDC00)));
            ++index;
        } else if (unit == kKxNativeBackslash) {
            points.push_back(L'\\');
        } else {
            points.push_back(wchar_t(unit));
        }
    }
    return points;
}

std::u16string utf16Units(const std::wstring& points)
{
    std::u16string units;
    for (const wchar_t point : points) {
        if (point >= 0x10000) {
            units.push_back(char16_t(0xD800 + ((point - 0x10000) >> 10)));
            units.push_back(char16_t(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else if (point == L'\\') {
            units.push_back(kKxNativeBackslash);
        } else {
            units.push_back(char16_t(point));
        }
    }
    return units;
}

} // namespace

std::string utf8Text(const KxString& text)
{
    const std::wstring points = codePoints(text);
    std::string narrow(points.size() * 4, '\0');
    {
        KxScopedLock lock(&_kx_conversion_mutex());
        const auto& codecvt = std::use_facet<WideCodecvt>(_kx_conversion_locale());
        std::mbstate_t state{};
        const wchar_t* nextPoint = nullptr;
        char* nextByte = nullptr;
        if (codecvt.out(state, points.data(), points.data() + points.size(), nextPoint, narrow.data(),
                        narrow.data() + narrow.size(), nextByte) != std::codecvt_base::ok)
            return std::string();
        narrow.resize(size_t(nextByte - narrow.data()));
    }
    return narrow;
}

// Text that cannot be encoded gives the empty path, which names nothing.
std::string nativePath(const KxString& path)
{
    std::u16string units(path.c_str(), path.length());
    std::replace(units.begin(), units.end(), u'\\', u'/');
    return utf8Text(KxString(units.c_str()));
}

// A name that is not UTF-8 gives the empty text.
KxString pathFromNative(const std::string& path)
{
    std::wstring points(path.size(), L'\0');
    KxScopedLock lock(&_kx_conversion_mutex());
    const auto& codecvt = std::use_facet<WideCodecvt>(_kx_conversion_locale());
    std::mbstate_t state{};
    const char* nextByte = nullptr;
    wchar_t* nextPoint = nullptr;
    if (codecvt.in(state, path.data(), path.data() + path.size(), nextByte, points.data(),
                   points.data() + points.size(), nextPoint) != std::codecvt_base::ok)
        return KxString();
    points.resize(size_t(nextPoint - points.data()));
    return KxString(utf16Units(points).c_str());
}

} // namespace Kavo
