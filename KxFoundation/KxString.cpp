#include "KxFoundation/KxString.h"

#include "KxConversion.h"
#include "KxFormat.h"
#include "KxFoundation/KxException.h"
#include "KxFoundation/KxRecursiveMutex.h"

#include <boost/lexical_cast.hpp>

#include <cstdlib>
#include <utility>

namespace Kavo {

namespace {

constexpr uint32_t kAllUnits = 0xFFFFFFFFu;

std::u16string unitsUpToNul(const char16_t* text)
{
    return std::u16string(text);
}

bool containsUnit(const std::u16string& set, char16_t unit)
{
    return set.find(unit) != std::u16string::npos;
}

} // namespace

KxString::KxString(KxString&& other) noexcept : m_text(std::move(other.m_text))
{
    other.m_text.clear();
}

KxString& KxString::operator=(KxString&& other) noexcept
{
    if (this != &other) {
        m_text = std::move(other.m_text);
        other.m_text.clear();
    }
    return *this;
}

KxString::~KxString() = default;

// Construction failures (memory exhausted, length limit) end the process.
KxString::KxString(const char16_t* text)
{
    try {
        m_text = unitsUpToNul(text);
    } catch (...) {
        std::abort();
    }
}

KxString::KxString(const char* narrowText)
{
    try {
        KxScopedLock lock(&_kx_conversion_mutex());
        m_text = _kx_decode_narrow(narrowText, _kx_conversion_locale());
    } catch (...) {
        std::abort();
    }
}

void KxString::assignNarrow(const char* narrowText, const std::locale& locale)
{
    try {
        m_text = _kx_decode_narrow(narrowText, locale);
    } catch (...) {
        std::abort();
    }
}

std::string KxString::toNarrow() const { return toNarrow(_kx_conversion_locale()); }

std::string KxString::toNarrow(const std::locale& locale) const
{
    return _kx_encode_narrow(m_text.c_str(), std::char_traits<char16_t>::length(m_text.c_str()), locale);
}

int KxString::compare(const KxString& other) const
{
    const int result = m_text.compare(other.m_text);
    return (result > 0) - (result < 0);
}

bool KxString::equalsIgnoreCase(const KxString& other) const
{
    if (length() != other.length())
        return false;
    if (length() == 0)
        return true;
    return indexOfIgnoreCase(other) == 0;
}

int KxString::indexOfIgnoreCase(const KxString& needle) const
{
    if (needle.m_text.empty() || m_text.empty() || needle.length() > length())
        return -1;
    const std::locale& locale = _kx_conversion_locale();
    std::u16string upperNeedle;
    for (char16_t unit : needle.m_text)
        upperNeedle.push_back(_kx_upper_unit(unit, locale));
    const std::size_t lastStart = m_text.size() - needle.m_text.size();
    for (std::size_t start = 0; start <= lastStart; ++start) {
        std::size_t matched = 0;
        while (matched < upperNeedle.size() &&
               _kx_upper_unit(m_text[start + matched], locale) == upperNeedle[matched])
            ++matched;
        if (matched == upperNeedle.size())
            return static_cast<int>(start);
    }
    return -1;
}

int KxString::indexOfAny(const KxString& characters, uint32_t start) const
{
    if (characters.m_text.empty() || start >= length())
        return -1;
    for (std::size_t index = start; index < m_text.size(); ++index)
        if (containsUnit(characters.m_text, m_text[index]))
            return static_cast<int>(index);
    return -1;
}

int KxString::lastIndexOfAny(const KxString& characters, uint32_t start) const
{
    if (characters.m_text.empty() || m_text.empty())
        return -1;
    std::size_t index = start >= length() ? m_text.size() - 1 : start;
    for (;; --index) {
        if (containsUnit(characters.m_text, m_text[index]))
            return static_cast<int>(index);
        if (index == 0)
            return -1;
    }
}

KxString KxString::substring(uint32_t start, uint32_t count) const
{
    const uint32_t size = length();
    const bool startInside = start < size;
    const bool endInside = count == kAllUnits || uint64_t(start) + count <= size;
    if (!startInside || !endInside) {
        const int32_t value = startInside ? static_cast<int32_t>(start + count) : static_cast<int32_t>(start);
        throw KxRangeException(u"KxString::substring()",
                               KxRange{0, static_cast<int32_t>(size) - 1, value});
    }
    const std::u16string piece = m_text.substr(start, count == kAllUnits ? std::u16string::npos : count);
    return KxString(piece.c_str());
}

int32_t KxString::toInt32() const
{
    std::string digits;
    for (char16_t unit : m_text)
        digits.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    try {
        return boost::lexical_cast<int32_t>(digits);
    } catch (const boost::bad_lexical_cast&) {
        throw KxBadCastException(u"KxString::toInt32()", 0, nullptr);
    }
}

void KxString::resize(uint32_t newLength) { m_text.resize(newLength, u'\0'); }

void KxString::format(const char16_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vformat(format, arguments);
    va_end(arguments);
}

void KxString::appendFormat(const char16_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vappendFormat(format, arguments);
    va_end(arguments);
}

// The engine empties the string before it reads the format, so a format
// that lives in the string itself is copied first.
void KxString::vformat(const char16_t* format, va_list arguments)
{
    const bool formatInsideText = format >= m_text.data() && format <= m_text.data() + m_text.size();
    if (!formatInsideText) {
        _kx_wstring_vformat(m_text, format, arguments);
        return;
    }
    const std::u16string formatCopy(format);
    _kx_wstring_vformat(m_text, formatCopy.c_str(), arguments);
}

// The result is built apart and appended at the end, so the format and the
// arguments may refer to this very string.
void KxString::vappendFormat(const char16_t* format, va_list arguments)
{
    std::u16string formatted;
    _kx_wstring_vformat(formatted, format, arguments);
    m_text += formatted;
}

KxString& KxString::operator+=(const KxString& other)
{
    m_text += other.m_text;
    return *this;
}

KxObject* KxString::clone() const { return new KxString(*this); }

// 32-bit FNV-1a over each unit's low byte, then its high byte.
uint32_t KxString::hashCode() const
{
    uint32_t hash = 0x811C9DC5u;
    for (char16_t unit : m_text) {
        for (const uint32_t byte : {uint32_t(unit & 0xFF), uint32_t(unit >> 8)}) {
            hash ^= byte;
            hash *= 0x01000193u;
        }
    }
    return hash;
}

KxString KxString::toString() const { return *this; }

KxString operator+(const KxString& left, const KxString& right)
{
    KxString result(left);
    result += right;
    return result;
}

KxString operator+(const KxString& left, const char16_t* right) { return left + KxString(right); }

} // namespace Kavo
