#include "TargetLaunchers.h"

#include "PackError.h"
#include "PathText.h"
#include "KxFoundation/KxPath.h"

#include <algorithm>
#include <system_error>

namespace Tessit {

namespace {

struct TargetLauncherFile {
    const char* target;
    const char* folder;
    const char* file;
};

constexpr TargetLauncherFile targetLauncherFiles[] = {
    {"windows-i686", "share", "Tessit.exe"},
    {"windows-x86_64", "share", "Tessit.exe"},
    {"linux-x86_64", "lib", "tessit"},
};

} // namespace

std::vector<std::string> targetNames()
{
    std::vector<std::string> names;
    for (const TargetLauncherFile& launcher : targetLauncherFiles)
        names.emplace_back(launcher.target);
    return names;
}

std::filesystem::path targetLauncherPath(const std::string& target, const std::filesystem::path& program)
{
    const auto* launcher = std::find_if(std::begin(targetLauncherFiles), std::end(targetLauncherFiles),
                                        [&](const TargetLauncherFile& entry) { return target == entry.target; });
    if (launcher == std::end(targetLauncherFiles))
        throw PackError("unknown target '" + target + "'");
    return (program.parent_path() / ".." / launcher->folder / "tessit" / target / launcher->file).lexically_normal();
}

std::filesystem::path targetLauncher(const std::string& target, const std::filesystem::path& program)
{
    const std::filesystem::path path = targetLauncherPath(target, program);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw PackError(path, "no launcher for " + target + " here; pass one with -l LAUNCHER");
    return path;
}

// The system's own name of the running program's file, every link on the
// way resolved, whatever name it was started by.
std::filesystem::path runningProgram()
{
    const Kavo::KxString path = Kavo::modulePath();
    if (path.length() == 0)
        throw PackError("the running program's own file cannot be named");
    return pathOf(path);
}

} // namespace Tessit
