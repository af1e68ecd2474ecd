#include "platform/NativePlatform.h"

#include "ApplicationName.h"
#include "TempFolder.h"
#include "Windows/Win32Dialog.h"
#include "Windows/Win32Registry.h"
#include "WindowsCommandLine.h"
#include "KxFoundation/KxPath.h"
#include "platform/NativePackagePlatform.h"
#include "platform/NativeSignatureCrypto.h"
#include "platform/Windows/Win32Resources.h"

#include <shellapi.h>

#include <vector>

namespace Tessit {

using namespace Kavo;

namespace {

UINT iconStyle(MessageBoxKind kind)
{
    switch (kind) {
    case MessageBoxKind::Warning: return MB_ICONWARNING;
    case MessageBoxKind::Error: return MB_ICONHAND;
    case MessageBoxKind::Information: return MB_ICONINFORMATION;
    }
    return 0;
}

// Null for the empty text, where the shell takes null for "none".
LPCWSTR wideOrNull(const KxString& text) { return text.length() != 0 ? wideUnits(text) : nullptr; }

int showCommand(ProgramWindow window) { return window == ProgramWindow::Hidden ? SW_HIDE : SW_SHOWDEFAULT; }

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

// The Win32 calls the framework would make, with the program's own resources.
struct NativePlatform::State {
    std::unique_ptr<PackagePlatform> package = createLauncherPackagePlatform(modulePath());
    std::unique_ptr<SignatureCrypto> crypto;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    KxString profileKey;
    // Owns the message boxes while it runs, so they show above it.
    Win32Dialog* runningDialog = nullptr;
};

NativePlatform::NativePlatform(int, char**) : m_state(std::make_unique<State>()) {}

NativePlatform::~NativePlatform() = default;

PackagePlatform& NativePlatform::package() { return *m_state->package; }

CommandLine NativePlatform::commandLine()
{
    std::vector<KxString> arguments;
    for (int index = 0; index < __argc; ++index)
        arguments.emplace_back(__wargv[index]);
    return CommandLine{arguments, argumentText(KxString(GetCommandLineW()))};
}

KxString NativePlatform::applicationName() { return applicationNameFromPath(executablePath()); }

KxString NativePlatform::executablePath() { return modulePath(); }

KxString NativePlatform::tempFolder() { return userTempFolder(); }

std::unique_ptr<NamedMutex> NativePlatform::createNamedMutex(const KxString& name, bool& alreadyExists)
{
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, wideUnits(name));
    alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!mutex)
        return nullptr;
    return std::make_unique<Win32NamedMutex>(mutex, !alreadyExists);
}

void NativePlatform::setRegistryKey(const KxString& key, const KxString& profileName)
{
    m_state->profileKey = KxString(u"Software\\") + key + u"\\" + profileName;
}

IconHandle NativePlatform::loadApplicationIcon()
{
    return LoadIconW(m_state->instance, MAKEINTRESOURCEW(TESSIT_IDI_APPLICATION));
}

int NativePlatform::runModalDialog(DialogClient& client)
{
    Win32Dialog dialog(m_state->instance, TESSIT_IDD_PROGRESS, client);
    m_state->runningDialog = &dialog;
    const int result = dialog.run();
    m_state->runningDialog = nullptr;
    return result;
}

void NativePlatform::messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind)
{
    const HWND owner = m_state->runningDialog ? m_state->runningDialog->window() : nullptr;
    MessageBoxW(owner, wideUnits(text), wideUnits(caption), MB_OK | iconStyle(kind));
}

void NativePlatform::writeProfileInt(const KxString& section, const KxString& entry, int32_t value)
{
    if (m_state->profileKey.length() != 0)
        writeCurrentUserDword(m_state->profileKey + u"\\" + section, entry, value);
}

std::unique_ptr<RegistryKey> NativePlatform::openCurrentUserKey(const KxString& path)
{
    return openCurrentUserRegistryKey(path);
}

// The program is named twice: as the application, so that exactly that file
// runs, and quoted at the head of its command line, where it reads its name.
std::optional<uint32_t> NativePlatform::runHiddenAndWait(const KxString& program,
                                                         const std::vector<KxString>& arguments)
{
    const KxString commandLine = windowsCommandLine(program, arguments);
    std::wstring writableLine(wideUnits(commandLine), commandLine.length());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wideUnits(program), writableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
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

bool NativePlatform::shellOpen(const KxString& program, const std::vector<KxString>& arguments,
                               const KxString& folder, ProgramWindow window)
{
    return shellOpenWithParameterLine(program, windowsToolParameters(arguments), folder, window);
}

// The shell opens a folder in a window of its own and reports success: only
// a file counts as a program that can be started.
bool NativePlatform::shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine,
                                                const KxString& folder, ProgramWindow window)
{
    const DWORD attributes = GetFileAttributesW(wideUnits(program));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", wideUnits(program), wideOrNull(parameterLine), wideOrNull(folder),
                      showCommand(window));
    // Values above 32 report success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

// Tools are named by their full path in the system folder, never searched
// for: the current folder of an elevated launcher is often a downloads folder.
KxString NativePlatform::systemToolPath(const KxString& toolName)
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return KxString();
    return KxString(folder) + u"\\" + toolName + u".exe";
}

SignatureCrypto* NativePlatform::signatureCrypto()
{
    if (!m_state->crypto)
        m_state->crypto = createNativeSignatureCrypto();
    return m_state->crypto.get();
}

} // namespace Tessit
