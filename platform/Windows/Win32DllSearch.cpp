#include "platform/Windows/Win32DllSearch.h"

#include <windows.h>

namespace Tessit {

void restrictDllSearchToSystemFolder() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

} // namespace Tessit
