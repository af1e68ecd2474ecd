#include "KxFormat.h"

#include <cwchar>
#include <string>

namespace Kavo {

namespace {

// wchar_t is 32-bit here: units cross the C library boundary one by one.
std::wstring widen(const char16_t* units)
{
    std::wstring wide;
    for (; *units != u'\0'; ++units)
        wide.push_back(static_cast<wchar_t>(*units));
    return wide;
}

// A directive is short: widening one needs no heap, unless it carries
// more flags and digits than anyone writes.
class WideDirective {
public:
    explicit WideDirective(const char16_t* directive)
    {
        const std::size_t length = std::char_traits<char16_t>::length(directive);
        wchar_t* units = m_inline;
        if (length >= kInlineCapacity) {
            m_long.resize(length);
            units = m_long.data();
        }
        for (std::size_t index = 0; index < length; ++index)
            units[index] = static_cast<wchar_t>(directive[index]);
        units[length] = L'\0';
        m_units = units;
    }
    WideDirective(const WideDirective&) = delete;
    WideDirective& operator=(const WideDirective&) = delete;

    const wchar_t* c_str() const { return m_units; }

private:
    static constexpr std::size_t kInlineCapacity = 64;
    wchar_t m_inline[kInlineCapacity];
    std::wstring m_long;
    const wchar_t* m_units = nullptr;
};

void formatThroughCRuntime(char16_t* output, std::size_t capacity, const char16_t* directive, va_list arguments)
{
    wchar_t buffer[256];
    std::wstring heapBuffer;
    wchar_t* target = buffer;
    if (capacity > sizeof buffer / sizeof buffer[0]) {
        heapBuffer.assign(capacity, L'\0');
        target = heapBuffer.data();
    }
    target[0] = L'\0';
    std::vswprintf(target, capacity, WideDirective(directive).c_str(), arguments);
    target[capacity - 1] = L'\0';
    std::size_t index = 0;
    for (; target[index] != L'\0'; ++index)
        output[index] = static_cast<char16_t>(target[index] & 0xFFFF);
    output[index] = u'\0';
}

} // namespace

void _kx_format_directive(char16_t* output, std::size_t capacity, const char16_t* directive, ...)
{
    va_list arguments;
    va_start(arguments, directive);
    formatThroughCRuntime(output, capacity, directive, arguments);
    va_end(arguments);
}

void _kx_format_text_directive(char16_t* output, std::size_t capacity, const char16_t* directive,
                               const char16_t* text)
{
    _kx_format_directive(output, capacity, directive, widen(text).c_str());
}

} // namespace Kavo
