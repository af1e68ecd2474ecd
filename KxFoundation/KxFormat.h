#ifndef KAVO_KXFORMAT_H
#define KAVO_KXFORMAT_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Kavo {

// The printf-style engine behind KxString::format and appendFormat: empties
// `output`, then appends the formatted text. `%@` inserts an object's
// toString; every other directive goes through the C library's wide
// formatter, one directive at a time, cut to 255 units.
void _kx_wstring_vformat(std::u16string& output, const char16_t* format, va_list arguments);

// One directive through the C library's wide formatter. `directive` is a
// complete C directive ("%-8lld") followed by its one argument as the C
// library takes it: an int, a long long or a double. `output` has room for
// `capacity` units and always ends up NUL-terminated, cut when the text does
// not fit.
void _kx_format_directive(char16_t* output, std::size_t capacity, const char16_t* directive, ...);
// The same for a "%ls" directive and its UTF-16 text.
void _kx_format_text_directive(char16_t* output, std::size_t capacity, const char16_t* directive,
                               const char16_t* text);

// The end of a walk over a format that meets a '%' no known letter follows:
// the line `<function>: Unknown type "%<unit>"` on standard error, then abort.
[[noreturn]] void _kx_abort_unknown_type(const char* function, char16_t unitAfterPercent);

} // namespace Kavo

#endif
