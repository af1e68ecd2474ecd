#include "app/Tessit.h"
#include "platform/Windows/Win32DllSearch.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    Tessit::restrictDllSearchToSystemFolder();
    const std::unique_ptr<Tessit::Platform> platform = Tessit::createNativePlatform(0, nullptr);
    return Tessit::RunTessit(*platform);
}
