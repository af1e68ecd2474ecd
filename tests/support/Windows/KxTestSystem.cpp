#include "KxTestSystem.h"

#include <windows.h>

namespace Kavo {

// Wine's ntdll exports its version; Windows' does not.
bool runsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

} // namespace Kavo
