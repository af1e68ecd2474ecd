#include "platform/NativePlatform.h"

#include "ApplicationName.h"
#include "TempFolder.h"
#include "Unix/IniProfile.h"
#include "Unix/PosixInstanceLock.h"
#include "Unix/PosixProcess.h"
#include "Unix/TempFolderChoice.h"
#include "Unix/TerminalDialog.h"
#include "WindowsCommandLine.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/Unix/KxNativePath.h"
#include "platform/NativePackagePlatform.h"

#include <cstdio>
#include <string>

namespace Tessit {

using namespace Kavo;

namespace {

// The program and its arguments, switches and paths, in their native form.
std::vector<std::string> nativeArguments(const KxString& program, const std::vector<KxString>& arguments)
{
    std::vector<std::string> native{nativePath(program)};
    for (const KxString& argument : arguments)
        native.push_back(nativePath(argument));
    return native;
}

bool startProgram(const std::vector<std::string>& arguments, const KxString& folder)
{
    return spawnProgram(arguments, folder.length() != 0 ? nativePath(folder) : std::string()).has_value();
}

} // namespace

// The window is a line on the terminal, message boxes are lines on standard
// error, the profile is a QSettings-style INI file, there is no registry,
// and processes are started with posix_spawn.
struct NativePlatform::State {
    KxString executablePath; // as resolved at the start, for the log
    std::unique_ptr<PackagePlatform> package;
    std::vector<KxString> arguments;
    std::string profilePath;
};

NativePlatform::NativePlatform(int argc, char** argv) : m_state(std::make_unique<State>())
{
    m_state->executablePath = modulePath();
    m_state->package = createLauncherPackagePlatform(m_state->executablePath);
    for (int index = 0; index < argc; ++index)
        m_state->arguments.emplace_back(argv[index]);
}

NativePlatform::~NativePlatform() = default;

PackagePlatform& NativePlatform::package() { return *m_state->package; }

// There is no raw command line here: the arguments are written back the way
// a Windows program would have received them.
CommandLine NativePlatform::commandLine()
{
    const std::vector<KxString>& all = m_state->arguments;
    const std::vector<KxString> arguments(all.begin() + (all.empty() ? 0 : 1), all.end());
    return CommandLine{all, joinWindowsArguments(arguments)};
}

KxString NativePlatform::applicationName() { return applicationNameFromPath(executablePath()); }

KxString NativePlatform::executablePath() { return m_state->executablePath; }

// The message box only says there is none; the trace says which folder on
// the way was refused and why, for whoever has to set it right.
KxString NativePlatform::tempFolder()
{
    const TempFolderChoice choice = chooseUserTempFolder();
    if (choice.folder.length() == 0)
        debugOutput(KxString(u"temp folder refused: ") + pathFromNative(choice.refusal) + u"\n");
    return choice.folder;
}

// The mutex's namesake is a lock folder in the private temporary folder, so
// only the same user's instances meet there, as in one Windows logon. Where
// there is none the run finds so, and traces why, when it asks for it.
std::unique_ptr<NamedMutex> NativePlatform::createNamedMutex(const KxString& name, bool& alreadyExists)
{
    alreadyExists = false;
    const KxString folder = userTempFolder();
    if (folder.length() == 0)
        return nullptr;
    return lockInstanceFolder(nativePath(folder + name + u".lock"), alreadyExists);
}

void NativePlatform::setRegistryKey(const KxString& key, const KxString& profileName)
{
    m_state->profilePath = profileFilePath(key.toNarrow(), profileName.toNarrow());
}

IconHandle NativePlatform::loadApplicationIcon() { return nullptr; }

int NativePlatform::runModalDialog(DialogClient& client) { return TerminalDialog().run(client); }

void NativePlatform::messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind)
{
    const std::string line =
        utf8Text(caption) + ": " + messageBoxKindName(kind) + ": " + utf8Text(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// A profile that cannot be written safely is no reason to end the run.
void NativePlatform::writeProfileInt(const KxString& section, const KxString& entry, int32_t value)
{
    if (!Tessit::writeProfileInt(m_state->profilePath, section.toNarrow(), entry.toNarrow(), value))
        debugOutput(KxString(u"profile left alone: ") + pathFromNative(m_state->profilePath) + u"\n");
}

// The shell's caches live in the Windows registry, which this system has not.
std::unique_ptr<RegistryKey> NativePlatform::openCurrentUserKey(const KxString&) { return nullptr; }

// Programs get an argument vector: nothing they are given is ever split
// again, so no character of a path or parameter can make another program run.
std::optional<uint32_t> NativePlatform::runHiddenAndWait(const KxString& program,
                                                         const std::vector<KxString>& arguments)
{
    const std::optional<pid_t> child = spawnProgram(nativeArguments(program, arguments), std::string());
    if (!child)
        return std::nullopt;
    return waitForExit(*child);
}

// There is no window to show or hide.
bool NativePlatform::shellOpen(const KxString& program, const std::vector<KxString>& arguments,
                               const KxString& folder, ProgramWindow)
{
    return startProgram(nativeArguments(program, arguments), folder);
}

// The parameter line reaches the program as one argument, its text as it is,
// as a Windows program receives the text after its name as one text.
bool NativePlatform::shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine,
                                                const KxString& folder, ProgramWindow)
{
    return startProgram({nativePath(program), utf8Text(parameterLine)}, folder);
}

KxString NativePlatform::systemToolPath(const KxString& toolName)
{
    return pathFromNative(findOnPath(toolName.toNarrow()));
}

// Only the packer checks signatures here; the launcher stays free of a
// cryptography library it would load on every start for nothing.
SignatureCrypto* NativePlatform::signatureCrypto() { return nullptr; }

} // namespace Tessit
