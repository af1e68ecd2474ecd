#ifndef KAVO_KXSTRING_H
#define KAVO_KXSTRING_H

#include "KxFoundation/KxObject.h"

#include <cstdarg>
#include <locale>
#include <string>
#include <type_traits>

namespace Kavo {

// Accepts wchar_t only where it is a UTF-16 unit (Windows); elsewhere text
// is written as char16_t (u"..." literals).
template <typename W>
using KxIfUtf16Wide = std::enable_if_t<std::is_same_v<W, wchar_t> && sizeof(W) == sizeof(char16_t)>;

// Where wchar_t is a UTF-16 unit, wide text is UTF-16 text: these hand the
// same units across, to and from the wide C runtime and Win32 calls,
// unconverted.
template <typename W, typename = KxIfUtf16Wide<W>>
const char16_t* utf16Units(const W* units) { return reinterpret_cast<const char16_t*>(units); }
template <typename W = wchar_t, typename = KxIfUtf16Wide<W>>
const W* wideUnits(const char16_t* units) { return reinterpret_cast<const W*>(units); }
template <typename W = wchar_t, typename = KxIfUtf16Wide<W>>
W* wideUnits(char16_t* units) { return reinterpret_cast<W*>(units); }

// UTF-16 text with value semantics. Narrow text entering or leaving it is
// UTF-8, converted through the process-wide conversion locale.
class KxString : public KxObject {
public:
    KxString() noexcept = default;
    KxString(const KxString& other) = default;
    KxString(KxString&& other) noexcept;
    KxString& operator=(const KxString& other) = default;
    KxString& operator=(KxString&& other) noexcept;
    ~KxString() override;

    KxString(const char16_t* text);
    KxString(const char* narrowText);
    template <typename W, typename = KxIfUtf16Wide<W>>
    KxString(const W* text) : KxString(utf16Units(text)) {}

    uint32_t length() const { return static_cast<uint32_t>(m_text.size()); }
    const char16_t* c_str() const { return m_text.c_str(); }

    int compare(const KxString& other) const;
    bool equalsIgnoreCase(const KxString& other) const;
    int indexOfIgnoreCase(const KxString& needle) const;
    int indexOfAny(const KxString& characters, uint32_t start) const;
    int lastIndexOfAny(const KxString& characters, uint32_t start) const;
    KxString substring(uint32_t start, uint32_t count) const;

    int32_t toInt32() const;
    // The text as UTF-8, through the process-wide conversion locale.
    std::string toNarrow() const;
    std::string toNarrow(const std::locale& locale) const;
    void assignNarrow(const char* narrowText, const std::locale& locale);
    void resize(uint32_t newLength);

    void format(const char16_t* format, ...);
    void appendFormat(const char16_t* format, ...);
    template <typename W, typename = KxIfUtf16Wide<W>>
    void format(const W* format, ...);
    template <typename W, typename = KxIfUtf16Wide<W>>
    void appendFormat(const W* format, ...);

    KxString& operator+=(const KxString& other);

    KxObject* clone() const override;
    // Stream record: 16-bit byte count, then the UTF-8 form. A form longer
    // than 65535 bytes does not fit the count and is refused. Archive record:
    // item 1 the head length, items 2 and 3 the bytes; on a treed archive
    // one string item 2.
    void writeToArchive(KxArchive& archive) override;
    void readFromArchive(KxArchive& archive) override;
    void writeToStream(KxStream& stream) override;
    void readFromStream(KxStream& stream) override;
    uint32_t hashCode() const override;
    KxString toString() const override;

private:
    void vformat(const char16_t* format, va_list arguments);
    void vappendFormat(const char16_t* format, va_list arguments);

    std::u16string m_text;
};

KxString operator+(const KxString& left, const KxString& right);
KxString operator+(const KxString& left, const char16_t* right);
template <typename W, typename = KxIfUtf16Wide<W>>
KxString operator+(const KxString& left, const W* right)
{
    return left + utf16Units(right);
}

// The string's own units, terminated, valid while the string is.
template <typename W = wchar_t, typename = KxIfUtf16Wide<W>>
const W* wideUnits(const KxString& text)
{
    return wideUnits<W>(text.c_str());
}

inline bool operator==(const KxString& left, const KxString& right) { return left.compare(right) == 0; }
inline bool operator!=(const KxString& left, const KxString& right) { return left.compare(right) != 0; }

template <typename W, typename>
void KxString::format(const W* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vformat(utf16Units(format), arguments);
    va_end(arguments);
}

template <typename W, typename>
void KxString::appendFormat(const W* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vappendFormat(utf16Units(format), arguments);
    va_end(arguments);
}

} // namespace Kavo

#endif
