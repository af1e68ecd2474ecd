// Stands in for a packaged control: registering it records that it ran, and
// the command line of the process that registered it.
#include "Journal.h"

static HMODULE thisModule;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        thisModule = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(thisModule, path, MAX_PATH);
    appendToJournal(thisModule, std::wstring(L"register\t") + path + L"\t" + GetCommandLineW());
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    return S_OK;
}
