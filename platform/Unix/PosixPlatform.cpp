#include "platform/Unix/PosixPlatform.h"

#include "KxFoundation/KxConversion.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/Unix/KxNativePath.h"
#include "platform/ApplicationName.h"
#include "platform/Unix/IniProfile.h"
#include "platform/Unix/PosixInstanceLock.h"
#include "platform/Unix/PosixProcess.h"
#include "platform/Unix/TerminalDialog.h"
#include "platform/WindowsCommandLine.h"

#include <cstdio>

namespace Tessit {

using namespace Kavo;

namespace {

const char* kindName(MessageBoxKind kind)
{
    switch (kind) {
    case MessageBoxKind::Warning: return "warning";
    case MessageBoxKind::Error: return "error";
    case MessageBoxKind::Information: return "information";
    }
    return "";
}

std::string narrow(const KxString& text) { return text.toNarrow(_kx_conversion_locale()); }

} // namespace

PosixPlatform::PosixPlatform(std::unique_ptr<PackagePlatform> package, std::vector<KxString> arguments)
    : m_package(std::move(package)), m_arguments(std::move(arguments))
{
}

std::optional<FoundFile> PosixPlatform::findFile(const KxString& path) { return m_package->findFile(path); }

std::unique_ptr<FileView> PosixPlatform::viewFile(const KxString& path) { return m_package->viewFile(path); }

KxString PosixPlatform::tempFolder() { return m_package->tempFolder(); }

void PosixPlatform::debugOutput(const KxString& text) { m_package->debugOutput(text); }

// There is no raw command line here: the arguments are written back the way
// a Windows program would have received them.
CommandLine PosixPlatform::commandLine()
{
    const std::vector<KxString> arguments(m_arguments.begin() + (m_arguments.empty() ? 0 : 1), m_arguments.end());
    return CommandLine{m_arguments, joinWindowsArguments(arguments)};
}

KxString PosixPlatform::applicationName() { return applicationNameFromPath(executablePath()); }

KxString PosixPlatform::executablePath() { return modulePath(); }

// The mutex's namesake is a lock file in the private temporary folder, so
// only the same user's instances meet there, as in one Windows logon.
std::unique_ptr<NamedMutex> PosixPlatform::createNamedMutex(const KxString& name, bool& alreadyExists)
{
    alreadyExists = false;
    const KxString folder = tempFolder();
    if (folder.length() == 0)
        return nullptr;
    return lockInstanceFile(_kx_native_path(folder + name + u".lock"), alreadyExists);
}

void PosixPlatform::setRegistryKey(const KxString& key, const KxString& profileName)
{
    m_profilePath = profileFilePath(narrow(key), narrow(profileName));
}

IconHandle PosixPlatform::loadApplicationIcon() { return nullptr; }

int PosixPlatform::runModalDialog(DialogClient& client) { return TerminalDialog().run(client); }

void PosixPlatform::messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind)
{
    const std::string line = narrow(caption) + ": " + kindName(kind) + ": " + narrow(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void PosixPlatform::writeProfileInt(const KxString& section, const KxString& entry, int32_t value)
{
    Tessit::writeProfileInt(m_profilePath, narrow(section), narrow(entry), value);
}

// The shell's caches live in the Windows registry, which this system has not.
std::unique_ptr<RegistryKey> PosixPlatform::openCurrentUserKey(const KxString&) { return nullptr; }

std::optional<uint32_t> PosixPlatform::runHiddenAndWait(const KxString& commandLine)
{
    const std::vector<KxString> words = splitWindowsCommandLine(commandLine);
    std::vector<std::string> arguments{_kx_native_path(words.front())};
    for (auto word = words.begin() + 1; word != words.end(); ++word)
        arguments.push_back(narrow(*word));
    const std::optional<pid_t> child = spawnProgram(arguments, std::string());
    if (!child)
        return std::nullopt;
    return waitForExit(*child);
}

// The parameter line reaches the program as one argument, as a Windows
// program receives its whole command line as one text.
void PosixPlatform::shellOpen(const KxString& file, const KxString& parameters, const KxString& folder, int)
{
    std::vector<std::string> arguments{_kx_native_path(file)};
    if (parameters.length() != 0)
        arguments.push_back(narrow(parameters));
    spawnProgram(arguments, folder.length() != 0 ? _kx_native_path(folder) : std::string());
}

KxString PosixPlatform::systemToolPath(const KxString& toolName)
{
    return _kx_path_from_native(findOnPath(narrow(toolName)));
}

std::unique_ptr<Platform> createNativePlatform(int argc, char** argv)
{
    std::vector<KxString> arguments;
    for (int index = 0; index < argc; ++index)
        arguments.emplace_back(argv[index]);
    return std::make_unique<PosixPlatform>(createNativePackagePlatform(), std::move(arguments));
}

} // namespace Tessit
