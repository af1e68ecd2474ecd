#include "KxConversion.h"

#include <windows.h>

namespace Kavo {

// MinGW's C++ library builds no named locale, so the user's locale is asked
// through Windows itself, one unit at a time.
char16_t _kx_upper_unit(char16_t unit, const std::locale&)
{
    wchar_t source = static_cast<wchar_t>(unit);
    wchar_t upper = source;
    if (LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, &source, 1, &upper, 1,
                      nullptr, nullptr, 0) != 1)
        return unit;
    return static_cast<char16_t>(upper);
}

} // namespace Kavo
