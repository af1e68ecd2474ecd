// Stands in for the packaged service installer: records its command line,
// takes a while, and exits with the code kept in installer-exit-code.txt.
#include "Journal.h"

#include <cstdio>

int wmain()
{
    appendToJournal(nullptr, std::wstring(L"installer start\t") + GetCommandLineW());
    int exitCode = 0;
    unsigned delayMilliseconds = 1500;
    const std::wstring settings = folderOf(nullptr) + L"installer-exit-code.txt";
    if (FILE* file = _wfopen(settings.c_str(), L"r")) {
        if (std::fscanf(file, "%d %u", &exitCode, &delayMilliseconds) < 1)
            exitCode = 0;
        std::fclose(file);
    }
    Sleep(delayMilliseconds);
    appendToJournal(nullptr, L"installer end\t" + std::to_wstring(exitCode));
    return exitCode;
}
