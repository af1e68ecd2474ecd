#include "KxFormat.h"

#include "KxFoundation/KxString.h"

#include <cwchar>

namespace Kavo {

// wchar_t is a UTF-16 unit here, so the C library writes straight into the
// caller's buffer. MinGW's C99 formatter (not msvcrt's) keeps the output the
// same as on other platforms.
void _kx_format_directive(char16_t* output, std::size_t capacity, const char16_t* directive, ...)
{
    wchar_t* target = wideUnits(output);
    target[0] = L'\0';
    va_list arguments;
    va_start(arguments, directive);
    __mingw_vsnwprintf(target, capacity, wideUnits(directive), arguments);
    va_end(arguments);
    target[capacity - 1] = L'\0';
}

void _kx_format_text_directive(char16_t* output, std::size_t capacity, const char16_t* directive,
                               const char16_t* text)
{
    _kx_format_directive(output, capacity, directive, wideUnits(text));
}

} // namespace Kavo
