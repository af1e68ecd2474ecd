#include "SystemCryptography.h"

#include <windows.h>

namespace Tessit {

// Wine's ntdll names itself by an export Windows does not have.
bool systemVerifiesEcdsa()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
}

} // namespace Tessit
