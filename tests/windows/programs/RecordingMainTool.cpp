// Stands in for the packaged main tool: records its command line and the
// folder it was started in.
#include "Journal.h"

int wmain()
{
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    appendToJournal(nullptr, std::wstring(L"main start\t") + GetCommandLineW());
    appendToJournal(nullptr, std::wstring(L"main folder\t") + folder);
    return 0;
}
