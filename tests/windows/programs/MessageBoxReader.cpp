// Waits for a message box on the desktop, prints its caption and text as one
// UTF-8 line ("<caption>|<text>", line feeds as \n, tabs as \t), and
// presses its OK button. Exit code 0 when a box was read, 1 when none came
// within the time limit given in milliseconds.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
    HWND box = nullptr;
};

// A message box is a dialog with a static text (id 0xFFFF) and an OK button;
// the launcher's own progress window has no button.
bool isMessageBox(HWND window)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    return IsWindowVisible(window) && std::wcscmp(className, L"#32770") == 0 &&
           GetDlgItem(window, 0xFFFF) != nullptr && GetDlgItem(window, IDOK) != nullptr;
}

BOOL CALLBACK findBox(HWND window, LPARAM parameter)
{
    if (!isMessageBox(window))
        return TRUE;
    reinterpret_cast<Search*>(parameter)->box = window;
    return FALSE;
}

std::wstring textOf(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(length);
    return text;
}

void printUtf8(const std::wstring& text)
{
    std::wstring escaped;
    for (wchar_t unit : text) {
        if (unit == L'\n')
            escaped += L"\\n";
        else if (unit == L'\t')
            escaped += L"\\t";
        else if (unit != L'\r')
            escaped += unit;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), int(escaped.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), int(escaped.size()), utf8.data(), bytes, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const DWORD limit = argc > 1 ? DWORD(_wtoi(argv[1])) : 10000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < limit) {
        Search search;
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
        if (search.box != nullptr) {
            Sleep(200); // let the box finish drawing before it is read and closed
            printUtf8(textOf(search.box) + L"|" + textOf(GetDlgItem(search.box, 0xFFFF)));
            PostMessageW(search.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(search.box, IDOK)));
            return 0;
        }
        Sleep(50);
    }
    return 1;
}
