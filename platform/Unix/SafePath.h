#ifndef TESSIT_PLATFORM_UNIX_SAFEPATH_H
#define TESSIT_PLATFORM_UNIX_SAFEPATH_H

#include <optional>
#include <string>

namespace Tessit {

// What to do with a level of the path that does not exist.
enum class MissingLevel {
    Refuse,
    // The last level may be missing (a file about to be made).
    AllowLast,
    // Missing folders are made, for the user alone.
    MakeFolder,
};

// `path` (absolute) with its links resolved, when nobody but root and the
// user could change where it leads: every folder on the way, the folders
// links lead through included, belongs to root or the user and is writable
// by nobody else unless sticky (OpenSSH's strict modes), every link on the
// way belongs to root or the user, and a last level that is a file belongs
// to root or the user and is writable by nobody else. Nothing otherwise.
std::optional<std::string> resolveSafePath(const std::string& path, MissingLevel missing);

} // namespace Tessit

#endif
