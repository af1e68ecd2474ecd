#include "Console.h"

#include "PathText.h"
#include "platform/Windows/Win32DllSearch.h"

#include <windows.h>

#include <io.h>
#include <shellapi.h>

namespace Tessit {

void limitLibrarySearch() { restrictDllSearchToSystemFolder(); }

// The narrow vector holds the ANSI code page's text; the wide command line
// keeps every character of a path.
std::vector<std::string> utf8Arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int index = 0; wide && index < count; ++index)
        arguments.push_back(utf8Of(std::filesystem::path(wide[index])));
    LocalFree(wide);
    return arguments;
}

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

} // namespace Tessit
