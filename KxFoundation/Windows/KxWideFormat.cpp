#include "KxFormat.h"

#include "KxFoundation/KxString.h"

#include <cwchar>

namespace Kavo {

namespace {

// wchar_t is a UTF-16 unit here, so the C library writes straight into the
// caller's buffer. MinGW's C99 formatter (not msvcrt's) keeps the output the
// same as on other platforms.
template <typename Value>
void formatThroughCRuntime(char16_t* output, std::size_t capacity, const char16_t* directive, Value value)
{
    wchar_t* target = wideUnits(output);
    target[0] = L'\0';
    __mingw_snwprintf(target, capacity, wideUnits(directive), value);
    target[capacity - 1] = L'\0';
}

} // namespace

void _kx_format_directive(char16_t* output, std::size_t capacity, const char16_t* directive, int32_t value)
{
    formatThroughCRuntime(output, capacity, directive, value);
}

void _kx_format_directive(char16_t* output, std::size_t capacity, const char16_t* directive, int64_t value)
{
    formatThroughCRuntime(output, capacity, directive, static_cast<long long>(value));
}

void _kx_format_directive(char16_t* output, std::size_t capacity, const char16_t* directive, double value)
{
    formatThroughCRuntime(output, capacity, directive, value);
}

void _kx_format_directive(char16_t* output, std::size_t capacity, const char16_t* directive, const char16_t* text)
{
    formatThroughCRuntime(output, capacity, directive, wideUnits(text));
}

} // namespace Kavo
