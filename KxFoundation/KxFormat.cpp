#include "KxFormat.h"

#include "KxConversion.h"
#include "KxFoundation/KxRecursiveMutex.h"
#include "KxFoundation/KxString.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <type_traits>

namespace Kavo {

namespace {

constexpr std::size_t kDirectiveBufferUnits = 256;
constexpr std::u16string_view kPointerPrecision = sizeof(void*) == 4 ? u".8" : u".16";

const std::u16string& directiveLetters()
{
    static const std::u16string letters(u"@diouxXDOUeEfFgGaACcSspn");
    return letters;
}

bool isDirectiveLetter(char16_t unit)
{
    return directiveLetters().find(unit) != std::u16string::npos;
}

// One directive, from its '%' to its letter, taken apart into what the C
// library may see (flags, width, precision, h/hh) and what the engine
// decides itself (64-bit size, wide text and characters). Any number of
// flags and digits fits; the short directives of every day stay within the
// string's own room.
class CDirectiveText {
public:
    void clear() { m_units.clear(); }
    void append(const char16_t* begin, const char16_t* end) { m_units.append(begin, end); }
    const char16_t* c_str() const { return m_units.c_str(); }

private:
    std::u16string m_units;
};

class Directive {
public:
    Directive(const char16_t* percent, const char16_t* letter) : m_percent(percent), m_letter(letter) {}

    char16_t letter() const { return *m_letter; }

    bool takes64Bits() const
    {
        const std::ptrdiff_t k = m_letter - m_percent;
        const std::u16string_view before(m_percent, static_cast<std::size_t>(k));
        return (k >= 4 && before.substr(before.size() - 3) == u"I64") ||
               (k >= 3 && before.substr(before.size() - 2) == u"ll");
    }

    // The C directive with the given size modifier and conversion letter,
    // built in `text`; what cannot be a flag, width or precision is dropped.
    // A `precision` (".8") takes the place of the directive's own.
    void cDirective(CDirectiveText& text, std::u16string_view sizeModifier, char16_t conversion,
                    std::u16string_view precision = {}) const
    {
        const char16_t* cursor = m_percent + 1;
        while (cursor < m_letter && std::u16string_view(u"-+ #0").find(*cursor) != std::u16string_view::npos)
            ++cursor;
        skipDigits(cursor);
        const char16_t* widthEnd = cursor;
        if (cursor < m_letter && *cursor == u'.') {
            ++cursor;
            skipDigits(cursor);
        }
        text.clear();
        text.append(m_percent, precision.empty() ? cursor : widthEnd);
        text.append(precision.data(), precision.data() + precision.size());
        text.append(sizeModifier.data(), sizeModifier.data() + sizeModifier.size());
        text.append(&conversion, &conversion + 1);
    }

    // `l` before the letter: for `c`, a wide character, as in C.
    bool hasLongSize() const { return m_letter - m_percent >= 2 && m_letter[-1] == u'l'; }

    // The C library's own short sizes, which it applies to a 32-bit int.
    std::u16string_view shortSize() const
    {
        const std::u16string_view tail(m_percent + 1, static_cast<std::size_t>(m_letter - m_percent - 1));
        if (tail.size() >= 2 && tail.substr(tail.size() - 2) == u"hh")
            return u"hh";
        if (!tail.empty() && tail.back() == u'h')
            return u"h";
        return u"";
    }

private:
    void skipDigits(const char16_t*& cursor) const
    {
        while (cursor < m_letter && *cursor >= u'0' && *cursor <= u'9')
            ++cursor;
    }

    const char16_t* m_percent;
    const char16_t* m_letter;
};

void appendNarrowText(std::u16string& output, const char* text)
{
    KxScopedLock lock(&_kx_conversion_mutex());
    output += _kx_decode_narrow(text, _kx_conversion_locale());
}

void appendWideText(std::u16string& output, const Directive& directive, const char16_t* text)
{
    const std::size_t units = std::char_traits<char16_t>::length(text) + 1;
    CDirectiveText cDirective;
    directive.cDirective(cDirective, u"l", u's');
    if (units <= kDirectiveBufferUnits) {
        char16_t buffer[kDirectiveBufferUnits];
        _kx_format_text_directive(buffer, kDirectiveBufferUnits, cDirective.c_str(), text);
        output += buffer;
        return;
    }
    const std::unique_ptr<char16_t[]> heapBuffer(new char16_t[units]);
    _kx_format_text_directive(heapBuffer.get(), units, cDirective.c_str(), text);
    output += heapBuffer.get();
}

template <typename Value>
void appendThroughBuffer(std::u16string& output, const Directive& directive, std::u16string_view sizeModifier,
                         char16_t conversion, Value value, std::u16string_view precision = {})
{
    // The C formatter takes the value through `...`: only what it reads back.
    static_assert(std::is_same_v<Value, int> || std::is_same_v<Value, long long> || std::is_same_v<Value, double>);
    CDirectiveText cDirective;
    directive.cDirective(cDirective, sizeModifier, conversion, precision);
    char16_t buffer[kDirectiveBufferUnits];
    _kx_format_directive(buffer, kDirectiveBufferUnits, cDirective.c_str(), value);
    output += buffer;
}

void appendDirective(std::u16string& output, const Directive& directive, va_list& arguments)
{
    const char16_t letter = directive.letter();
    switch (letter) {
    case u'@': {
        const auto* object = va_arg(arguments, const KxObject*);
        output += object != nullptr ? object->toString().c_str() : u"(null)";
        break;
    }
    case u'd': case u'i': case u'o': case u'u': case u'x': case u'X':
        if (directive.takes64Bits())
            appendThroughBuffer(output, directive, u"ll", letter, va_arg(arguments, long long));
        else
            appendThroughBuffer(output, directive, directive.shortSize(), letter, va_arg(arguments, int));
        break;
    case u'e': case u'E': case u'f': case u'F': case u'g': case u'G': case u'a': case u'A':
        appendThroughBuffer(output, directive, u"", letter, va_arg(arguments, double));
        break;
    case u'c': // a narrow byte, taken as the Latin-1 unit of the same value; with `l` a UTF-16 unit
        appendThroughBuffer(output, directive, u"l", u'c', va_arg(arguments, int) & (directive.hasLongSize() ? 0xFFFF : 0xFF));
        break;
    case u'C':
        appendThroughBuffer(output, directive, u"l", u'c', va_arg(arguments, int) & 0xFFFF);
        break;
    case u'p': // every digit of the pointer, in upper case, as Windows' C library writes it
        appendThroughBuffer(output, directive, u"ll", u'X',
                            static_cast<long long>(reinterpret_cast<uintptr_t>(va_arg(arguments, const void*))),
                            kPointerPrecision);
        break;
    case u's':
        appendNarrowText(output, va_arg(arguments, const char*));
        break;
    case u'S':
        appendWideText(output, directive, va_arg(arguments, const char16_t*));
        break;
    default: // D, O, U and n take nothing and add nothing
        break;
    }
}

} // namespace

void _kx_wstring_vformat(std::u16string& output, const char16_t* format, va_list arguments)
{
    va_list remaining;
    va_copy(remaining, arguments);
    output.clear();
    const char16_t* pending = format;
    const char16_t* scan = format;
    for (;;) {
        const char16_t* percent = scan;
        while (*percent != u'\0' && *percent != u'%')
            ++percent;
        if (*percent == u'\0') {
            output.append(pending, percent);
            break;
        }
        if (percent[1] == u'%') {
            output.append(pending, percent + 1);
            scan = pending = percent + 2;
            continue;
        }
        const char16_t* letter = percent + 1;
        while (*letter != u'\0' && !isDirectiveLetter(*letter))
            ++letter;
        if (*letter == u'\0')
            _kx_abort_unknown_type("Kavo::_kx_wstring_vformat()", percent[1]);
        output.append(pending, percent);
        appendDirective(output, Directive(percent, letter), remaining);
        scan = pending = letter + 1;
    }
    va_end(remaining);
}

void _kx_abort_unknown_type(const char* function, char16_t unitAfterPercent)
{
    std::fputs(function, stderr);
    std::fputs(": Unknown type \"%", stderr);
    const std::string narrow = unitAfterPercent == u'\0'
        ? std::string(1, '\0')
        : _kx_encode_narrow(&unitAfterPercent, 1, _kx_conversion_locale());
    std::fwrite(narrow.data(), 1, narrow.size(), stderr);
    std::fputs("\"\n", stderr);
    std::fflush(stderr);
    std::abort();
}

} // namespace Kavo
