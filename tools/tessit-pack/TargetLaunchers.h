#ifndef TESSIT_TOOLS_TARGETLAUNCHERS_H
#define TESSIT_TOOLS_TARGETLAUNCHERS_H

#include <filesystem>
#include <string>
#include <vector>

namespace Tessit {

// The release launchers an installed tessit-pack carries, one folder per
// target beside the folder it runs from (bin/), as the Linux package and
// tarball lay them out: the Windows ones are data on Linux, in
// ../share/tessit/<target>/Tessit.exe; the Linux one is a program of the
// machine's architecture, in ../lib/tessit/linux-x86_64/tessit.

// The targets' names: windows-i686, windows-x86_64, linux-x86_64.
std::vector<std::string> targetNames();

// Where the launcher of `target` is looked up for `program`, the running
// tessit-pack (one without a folder gives the path relative to its folder);
// a PackError names an unknown target.
std::filesystem::path targetLauncherPath(const std::string& target, const std::filesystem::path& program);

// The launcher of `target` for `program`; a PackError names an unknown
// target, or the path looked at when no launcher is there.
std::filesystem::path targetLauncher(const std::string& target, const std::filesystem::path& program);

// The file of the running program, as the system names it.
std::filesystem::path runningProgram();

} // namespace Tessit

#endif
