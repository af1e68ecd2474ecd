#ifndef TESSIT_TOOLS_TARGETLAUNCHERS_H
#define TESSIT_TOOLS_TARGETLAUNCHERS_H

#include <filesystem>
#include <string>
#include <vector>

namespace Tessit {

// The release launchers an installed tessit-pack carries, one folder per
// target below share/tessit/ beside the folder it runs from (bin/), as the
// Linux package and tarball lay them out.

// The targets' names: windows-i686, windows-x86_64, linux-x86_64.
std::vector<std::string> targetNames();

// The folder the targets' launchers are looked up in: ../share/tessit from
// the folder of `program`, the running tessit-pack.
std::filesystem::path targetLaunchersFolder(const std::filesystem::path& program);

// The launcher of `target` for `program`; a PackError names an unknown
// target, or the path looked at when no launcher is there.
std::filesystem::path targetLauncher(const std::string& target, const std::filesystem::path& program);

// The file of the running program, as the system names it.
std::filesystem::path runningProgram();

} // namespace Tessit

#endif
