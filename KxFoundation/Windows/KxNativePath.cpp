#include "KxFoundation/Windows/KxNativePath.h"

#include "KxFoundation/KxString.h"

namespace Kavo {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16 here");

std::wstring nativePath(const KxString& path)
{
    const wchar_t* units = wideUnits(path);
    return std::wstring(units, units + path.length());
}

} // namespace Kavo
