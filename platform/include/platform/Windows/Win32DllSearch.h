#ifndef TESSIT_PLATFORM_WINDOWS_WIN32DLLSEARCH_H
#define TESSIT_PLATFORM_WINDOWS_WIN32DLLSEARCH_H

namespace Tessit {

// From now on DLLs are loaded from the system folder only. An elevated
// launcher often starts in a downloads folder, where a planted DLL named
// like a system one would otherwise be found first.
void restrictDllSearchToSystemFolder();

} // namespace Tessit

#endif
