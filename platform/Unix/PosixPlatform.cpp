#include "platform/Unix/PosixPlatform.h"

#include "KxFoundation/KxConversion.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/Unix/KxNativePath.h"
#include "platform/ApplicationName.h"
#include "platform/TempFolder.h"
#include "platform/Unix/IniProfile.h"
#include "platform/Unix/PosixInstanceLock.h"
#include "platform/Unix/PosixProcess.h"
#include "platform/Unix/TerminalDialog.h"
#include "platform/WindowsCommandLine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

const char16_t kRunningImage[] = u"/proc/self/exe";

std::string narrow(const KxString& text) { return text.toNarrow(_kx_conversion_locale()); }

// The program and its arguments, switches and paths, in their native form.
std::vector<std::string> nativeArguments(const KxString& program, const std::vector<KxString>& arguments)
{
    std::vector<std::string> native{_kx_native_path(program)};
    for (const KxString& argument : arguments)
        native.push_back(_kx_native_path(argument));
    return native;
}

bool startProgram(const std::vector<std::string>& arguments, const KxString& folder)
{
    return spawnProgram(arguments, folder.length() != 0 ? _kx_native_path(folder) : std::string()).has_value();
}

} // namespace

PosixPlatform::PosixPlatform(std::unique_ptr<PackagePlatform> package, std::vector<KxString> arguments)
    : m_package(std::move(package)), m_executablePath(modulePath()), m_arguments(std::move(arguments))
{
}

// The running executable is looked at through /proc/self/exe, which is the
// running file itself: the path it was started from may name another file
// by now, and so may "<path> (deleted)" once it lost its name.
KxString PosixPlatform::runningImage(const KxString& path) const
{
    return path == m_executablePath ? KxString(kRunningImage) : path;
}

// Its length is asked of the open file: a tool that runs the program
// itself (valgrind) answers the link's status with its own file's.
std::optional<FoundFile> PosixPlatform::findFile(const KxString& path)
{
    if (path != m_executablePath)
        return m_package->findFile(path);
    const int image = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    struct stat status;
    const bool found = image != -1 && ::fstat(image, &status) == 0;
    if (image != -1)
        ::close(image);
    if (!found)
        return std::nullopt;
    return FoundFile{kRunningImage, uint64_t(status.st_size)};
}

std::unique_ptr<FileView> PosixPlatform::viewFile(const KxString& path)
{
    return m_package->viewFile(runningImage(path));
}

KxString PosixPlatform::tempFolder() { return userTempFolder(); }

void PosixPlatform::debugOutput(const KxString& text) { m_package->debugOutput(text); }

// There is no raw command line here: the arguments are written back the way
// a Windows program would have received them.
CommandLine PosixPlatform::commandLine()
{
    const std::vector<KxString> arguments(m_arguments.begin() + (m_arguments.empty() ? 0 : 1), m_arguments.end());
    return CommandLine{m_arguments, joinWindowsArguments(arguments)};
}

KxString PosixPlatform::applicationName() { return applicationNameFromPath(executablePath()); }

KxString PosixPlatform::executablePath() { return m_executablePath; }

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
    const std::string line = _kx_utf8_text(caption) + ": " + kindName(kind) + ": " + _kx_utf8_text(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void PosixPlatform::writeProfileInt(const KxString& section, const KxString& entry, int32_t value)
{
    Tessit::writeProfileInt(m_profilePath, narrow(section), narrow(entry), value);
}

// The shell's caches live in the Windows registry, which this system has not.
std::unique_ptr<RegistryKey> PosixPlatform::openCurrentUserKey(const KxString&) { return nullptr; }

// Programs get an argument vector: nothing they are given is ever split
// again, so no character of a path or parameter can make another program run.
std::optional<uint32_t> PosixPlatform::runHiddenAndWait(const KxString& program, const std::vector<KxString>& arguments)
{
    const std::optional<pid_t> child = spawnProgram(nativeArguments(program, arguments), std::string());
    if (!child)
        return std::nullopt;
    return waitForExit(*child);
}

bool PosixPlatform::shellOpen(const KxString& program, const std::vector<KxString>& arguments, const KxString& folder,
                              int)
{
    return startProgram(nativeArguments(program, arguments), folder);
}

// The parameter line reaches the program as one argument, its text as it is,
// as a Windows program receives the text after its name as one text.
bool PosixPlatform::shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine,
                                               const KxString& folder, int)
{
    return startProgram({_kx_native_path(program), _kx_utf8_text(parameterLine)}, folder);
}

KxString PosixPlatform::systemToolPath(const KxString& toolName)
{
    return _kx_path_from_native(findOnPath(narrow(toolName)));
}

// Only the packer checks signatures here; the launcher stays free of a
// cryptography library it would load on every start for nothing.
SignatureCrypto* PosixPlatform::signatureCrypto() { return nullptr; }

std::unique_ptr<Platform> createNativePlatform(int argc, char** argv)
{
    std::vector<KxString> arguments;
    for (int index = 0; index < argc; ++index)
        arguments.emplace_back(argv[index]);
    return std::make_unique<PosixPlatform>(createNativePackagePlatform(), std::move(arguments));
}

} // namespace Tessit
