#ifndef TESSIT_TESTS_WINDOWS_JOURNAL_H
#define TESSIT_TESTS_WINDOWS_JOURNAL_H

#include <windows.h>

#include <string>

// The packaged test programs write what happened to them into one journal
// beside themselves, a line each, in one append so concurrent writers
// (regsvr32 and the main tool) never interleave inside a line.
inline std::wstring folderOf(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

inline void appendToJournal(HMODULE module, const std::wstring& line)
{
    const std::wstring journal = folderOf(module) + L"tessit-journal.txt";
    HANDLE file = CreateFileW(journal.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::wstring text = line + L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), utf8.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), DWORD(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

#endif
