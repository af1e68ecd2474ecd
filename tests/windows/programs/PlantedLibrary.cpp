// Stands in for a DLL planted beside a program under a system DLL's name:
// loading it records that it ran, in the journal beside it.
#include "Journal.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(instance, path, MAX_PATH);
        appendToJournal(instance, std::wstring(L"planted\t") + path + L"\t" + GetCommandLineW());
    }
    return TRUE;
}
