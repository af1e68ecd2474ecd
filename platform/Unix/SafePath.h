#ifndef TESSIT_PLATFORM_UNIX_SAFEPATH_H
#define TESSIT_PLATFORM_UNIX_SAFEPATH_H

#include <sys/stat.h>

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

// A path resolved by resolveSafePath, or why it was not.
struct ResolvedPath {
    std::optional<std::string> path; // its links resolved
    // When refused: the level the walk stopped at, its owner, group and mode
    // where it has them, and the reason.
    std::string refusal;
};

// `path` (absolute) with its links resolved, when nobody but root and the
// user could change where it leads: every folder on the way, the folders
// links lead through included, belongs to root or the user and is writable
// by nobody else unless sticky (OpenSSH's strict modes), every link on the
// way belongs to root or the user, and a last level that is a file belongs
// to root or the user and is writable by nobody else. A folder or file
// writable by its owner's private group counts as writable by the owner
// alone (see isPrivateGroupOf).
ResolvedPath resolveSafePath(const std::string& path, MissingLevel missing);

// A file's owner, group and mode as refusals name them:
// "owner 1000 (ada), group 1000 (ada), mode 0775".
std::string ownerAndMode(const struct stat& status);

} // namespace Tessit

#endif
