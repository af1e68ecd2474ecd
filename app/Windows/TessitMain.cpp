#include "app/Tessit.h"
#include "platform/NativePlatform.h"
#include "platform/Windows/Win32DllSearch.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    Tessit::restrictDllSearchToSystemFolder();
    // The wide entry has no narrow argument vector: the platform reads the
    // runtime's wide one.
    Tessit::NativePlatform platform(0, nullptr);
    return Tessit::RunTessit(platform);
}
