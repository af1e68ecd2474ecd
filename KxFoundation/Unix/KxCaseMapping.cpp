#include "KxConversion.h"

namespace Kavo {

// The locale's wide classification works on 32-bit units here; a surrogate
// unit maps to itself, and the result keeps its low 16 bits.
char16_t _kx_upper_unit(char16_t unit, const std::locale& locale)
{
    const wchar_t upper = std::use_facet<std::ctype<wchar_t>>(locale).toupper(static_cast<wchar_t>(unit));
    return static_cast<char16_t>(upper & 0xFFFF);
}

} // namespace Kavo
