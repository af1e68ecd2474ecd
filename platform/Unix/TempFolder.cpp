#include "TempFolder.h"

#include "Unix/OwnedDescriptor.h"
#include "Unix/SafePath.h"
#include "Unix/TempFolderChoice.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace Tessit {

using Kavo::KxString;

namespace {

TempFolderChoice refused(const std::string& refusal) { return TempFolderChoice{KxString(), refusal}; }

// Only a real folder of the user's own is safe to hold files that are run
// later; one left with looser modes is made private again, so that nobody
// else may plant links in it or read what is started from it. Why it cannot
// be used, or nothing.
std::optional<std::string> whyNotPrivate(const std::string& path)
{
    const OwnedDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (folder.get() == -1 || ::fstat(folder.get(), &status) != 0)
        return std::string("no folder: ") + std::strerror(errno);
    if (status.st_uid != ::geteuid())
        return ownerAndMode(status) + ": it belongs to another user";
    if ((status.st_mode & 07777) != S_IRWXU && ::fchmod(folder.get(), S_IRWXU) != 0)
        return ownerAndMode(status) + ": cannot be made private: " + std::strerror(errno);
    // A folder left from an earlier run may since have become unwritable
    // (its mode changed, its file system mounted read-only); extracting into
    // it would create nothing and the run would go on without a word.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return std::string("cannot be written to: ") + std::strerror(errno);
    return std::nullopt;
}

} // namespace

// A private, writable folder per user below TMPDIR. A relative TMPDIR counts
// from the folder the launcher was started in: the main tool is started by
// its path from inside the temporary folder, where a relative path would
// lead nowhere.
TempFolderChoice chooseUserTempFolder()
{
    const char* configured = std::getenv("TMPDIR");
    const std::string named = configured && *configured ? configured : "/tmp";
    std::error_code failed;
    const std::string absolute = std::filesystem::absolute(named, failed).string();
    if (failed)
        return refused(named + ": no current folder to count it from: " + failed.message());
    // Links on the way are resolved once, here: what was checked is what is
    // used, whatever a link's owner does with it later.
    const ResolvedPath base = resolveSafePath(absolute, MissingLevel::Refuse);
    if (!base.path)
        return refused(base.refusal);
    const std::string folder = (*base.path == "/" ? "" : *base.path) + "/tessit-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return refused(folder + ": cannot be made: " + std::strerror(errno));
    if (const std::optional<std::string> reason = whyNotPrivate(folder))
        return refused(folder + ": " + *reason);
    return TempFolderChoice{Kavo::pathFromNative(folder + "/"), {}};
}

KxString userTempFolder() { return chooseUserTempFolder().folder; }

} // namespace Tessit
