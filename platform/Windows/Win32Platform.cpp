#include "platform/Windows/Win32Platform.h"

#include "KxFoundation/KxPath.h"
#include "platform/ApplicationName.h"
#include "platform/TempFolder.h"
#include "platform/Windows/Win32Dialog.h"
#include "platform/Windows/Win32Registry.h"
#include "platform/Windows/Win32Resources.h"
#include "platform/WindowsCommandLine.h"

#include <shellapi.h>

#include <cstdlib>
#include <vector>

namespace Tessit {

using namespace Kavo;

namespace {

LPCWSTR wide(const KxString& text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

LPCWSTR wideOrNull(const KxString& text) { return text.length() != 0 ? wide(text) : nullptr; }

UINT iconStyle(MessageBoxKind kind)
{
    switch (kind) {
    case MessageBoxKind::Warning: return MB_ICONWARNING;
    case MessageBoxKind::Error: return MB_ICONHAND;
    case MessageBoxKind::Information: return MB_ICONINFORMATION;
    }
    return 0;
}

class Win32NamedMutex : public NamedMutex {
public:
    Win32NamedMutex(HANDLE mutex, bool owned) : m_mutex(mutex), m_owned(owned) {}
    ~Win32NamedMutex() override
    {
        if (m_owned)
            ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }
    Win32NamedMutex(const Win32NamedMutex&) = delete;
    Win32NamedMutex& operator=(const Win32NamedMutex&) = delete;

private:
    HANDLE m_mutex;
    bool m_owned;
};

} // namespace

Win32Platform::Win32Platform(std::unique_ptr<PackagePlatform> package, HINSTANCE instance)
    : m_package(std::move(package)), m_instance(instance)
{
}

std::optional<FoundFile> Win32Platform::findFile(const KxString& path) { return m_package->findFile(path); }

std::unique_ptr<FileView> Win32Platform::viewFile(const KxString& path) { return m_package->viewFile(path); }

KxString Win32Platform::tempFolder() { return userTempFolder(); }

void Win32Platform::debugOutput(const KxString& text) { m_package->debugOutput(text); }

CommandLine Win32Platform::commandLine()
{
    std::vector<KxString> arguments;
    for (int index = 0; index < __argc; ++index)
        arguments.emplace_back(__wargv[index]);
    return CommandLine{arguments, argumentText(KxString(GetCommandLineW()))};
}

KxString Win32Platform::applicationName() { return applicationNameFromPath(executablePath()); }

KxString Win32Platform::executablePath() { return modulePath(); }

std::unique_ptr<NamedMutex> Win32Platform::createNamedMutex(const KxString& name, bool& alreadyExists)
{
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, wide(name));
    alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!mutex)
        return nullptr;
    return std::make_unique<Win32NamedMutex>(mutex, !alreadyExists);
}

void Win32Platform::setRegistryKey(const KxString& key, const KxString& profileName)
{
    m_profileKey = KxString(u"Software\\") + key + u"\\" + profileName;
}

IconHandle Win32Platform::loadApplicationIcon() { return LoadIconW(m_instance, MAKEINTRESOURCEW(TESSIT_IDI_APPLICATION)); }

int Win32Platform::runModalDialog(DialogClient& client)
{
    Win32Dialog dialog(m_instance, TESSIT_IDD_PROGRESS, client);
    m_runningDialog = &dialog;
    const int result = dialog.run();
    m_runningDialog = nullptr;
    return result;
}

void Win32Platform::messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind)
{
    const HWND owner = m_runningDialog ? m_runningDialog->window() : nullptr;
    MessageBoxW(owner, wide(text), wide(caption), MB_OK | iconStyle(kind));
}

void Win32Platform::writeProfileInt(const KxString& section, const KxString& entry, int32_t value)
{
    if (m_profileKey.length() != 0)
        writeCurrentUserDword(m_profileKey + u"\\" + section, entry, value);
}

std::unique_ptr<RegistryKey> Win32Platform::openCurrentUserKey(const KxString& path)
{
    return openCurrentUserRegistryKey(path);
}

// The program is named twice: as the application, so that exactly that file
// runs, and quoted at the head of its command line, where it reads its name.
std::optional<uint32_t> Win32Platform::runHiddenAndWait(const KxString& program, const std::vector<KxString>& arguments)
{
    const KxString commandLine = windowsCommandLine(program, arguments);
    std::wstring writableLine(wide(commandLine), commandLine.length());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wide(program), writableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return std::nullopt;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode))
        exitCode = 0;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return exitCode;
}

bool Win32Platform::shellOpen(const KxString& program, const std::vector<KxString>& arguments, const KxString& folder,
                              int showCommand)
{
    return shellOpenWithParameterLine(program, joinWindowsArguments(arguments), folder, showCommand);
}

// The shell opens a folder in a window of its own and reports success: only
// a file counts as a program that can be started.
bool Win32Platform::shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine,
                                               const KxString& folder, int showCommand)
{
    const DWORD attributes = GetFileAttributesW(wide(program));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", wide(program), wideOrNull(parameterLine), wideOrNull(folder), showCommand);
    // Values above 32 report success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

// Tools are named by their full path in the system folder, never searched
// for: the current folder of an elevated launcher is often a downloads folder.
KxString Win32Platform::systemToolPath(const KxString& toolName)
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return KxString();
    return KxString(folder) + u"\\" + toolName + u".exe";
}

SignatureCrypto* Win32Platform::signatureCrypto()
{
    if (!m_crypto)
        m_crypto = createNativeSignatureCrypto();
    return m_crypto.get();
}

std::unique_ptr<Platform> createNativePlatform(int, char**)
{
    return std::make_unique<Win32Platform>(createNativePackagePlatform(), GetModuleHandleW(nullptr));
}

} // namespace Tessit
