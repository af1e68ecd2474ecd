#include "app/Tessit.h"

#include "TessitDlg.h"
#include "texts/LauncherTexts.h"

#include <cstddef>
#include <memory>

namespace Tessit {

namespace {

constexpr size_t kMaxArgumentCount = 4; // the program name and three arguments

const KxString kOptionDiagnosis(u"-diagnosis");
const KxString kOptionOem(u"-OEM:");
const KxString kOptionName(u"-NAME:");

const char16_t kInstanceMutexName[] = u"QIRA_ZIP Instance";
const char16_t kRegistryKey[] = u"QIRA";
const char16_t kProfileName[] = u"QIRA";

// Only the plain decimal form of 0 to 2147483647 is taken: no sign, no
// leading zeros, no blanks.
void ParseOemOverride(const KxString& valueText, int32_t& oemId)
{
    try {
        const int32_t value = valueText.toInt32();
        KxString plain;
        plain.format(u"%d", value);
        if (value >= 0 && plain.equalsIgnoreCase(valueText))
            oemId = value;
    } catch (...) {
        // Text that is no number leaves the override as it was.
    }
}

} // namespace

LaunchSettings ParseLaunchOptions(const std::vector<KxString>& arguments)
{
    LaunchSettings settings;
    for (const KxString& argument : arguments) {
        if (argument.compare(kOptionDiagnosis) == 0)
            settings.diagnosis = true;
        if (argument.length() > kOptionOem.length() &&
            argument.substring(0, kOptionOem.length()).compare(kOptionOem) == 0)
            ParseOemOverride(argument.substring(kOptionOem.length(), uint32_t(-1)), settings.oemId);
        if (argument.length() > kOptionName.length() &&
            argument.substring(0, kOptionName.length()).equalsIgnoreCase(kOptionName))
            settings.modelName = argument.substring(kOptionName.length(), uint32_t(-1));
    }
    return settings;
}

bool DebugRequested(const KxString& argumentText) { return argumentText.indexOfIgnoreCase(u"DEBUG") != -1; }

CTessitApp::CTessitApp(Platform& platform) : m_platform(platform) {}

bool CTessitApp::InitInstance()
{
    const CommandLine commandLine = m_platform.commandLine();
    if (commandLine.arguments.size() > kMaxArgumentCount) {
        m_exitCode = kExitTooManyArguments;
        return false;
    }
    const std::vector<KxString> arguments(commandLine.arguments.begin() + (commandLine.arguments.empty() ? 0 : 1),
                                          commandLine.arguments.end());
    const LaunchSettings settings = ParseLaunchOptions(arguments);

    m_platform.debugOutput(TraceBanner(kTraceSourceApp));
    KxString oemChecker;
    oemChecker.format(kTraceOemOverride, settings.oemId);
    m_platform.debugOutput(oemChecker);

    bool anotherInstanceRuns = false;
    std::unique_ptr<NamedMutex> instanceMutex = m_platform.createNamedMutex(kInstanceMutexName, anotherInstanceRuns);
    if (anotherInstanceRuns) {
        instanceMutex.reset();
        m_platform.messageBox(kMessageAlreadyRunning, kWindowTitle, MessageBoxKind::Warning);
        m_exitCode = kExitAlreadyRunning;
        return false;
    }

    m_platform.setRegistryKey(kRegistryKey, kProfileName);

    CTessitDlg dialog(m_platform, settings, DebugRequested(commandLine.rawText));

    m_platform.debugOutput(kTraceSettingsHandedOver);
    const int result = dialog.DoModal();
    if (result == kDialogOk)
        m_platform.debugOutput(kTraceWindowClosed);
    else if (result == kDialogCancel)
        m_platform.debugOutput(kTraceWindowCancelled);
    m_exitCode = dialog.MainToolStarted() ? kExitMainToolStarted : kExitRunIncomplete;
    return false;
}

int RunTessit(Platform& platform)
{
    CTessitApp application(platform);
    application.InitInstance();
    return application.ExitInstance();
}

} // namespace Tessit
