#include "TempFolder.h"

#include "Unix/OwnedDescriptor.h"
#include "Unix/SafePath.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <cerrno>
#include <cstdlib>
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

// A relative TMPDIR counts from the folder the launcher was started in: the
// main tool is started by its path from inside the temporary folder, where a
// relative path would lead nowhere. Without a current folder there is none.
std::string temporaryBase()
{
    const char* configured = std::getenv("TMPDIR");
    std::error_code failed;
    const std::string base = std::filesystem::absolute(configured && *configured ? configured : "/tmp", failed).string();
    return failed ? std::string() : base;
}

// Only a real folder of the user's own is safe to hold files that are run
// later; one left with looser modes is made private again, so that nobody
// else may plant links in it or read what is started from it.
bool makePrivateFolder(const std::string& path)
{
    const OwnedDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (folder.get() == -1 || ::fstat(folder.get(), &status) != 0 || status.st_uid != ::geteuid())
        return false;
    return (status.st_mode & 07777) == S_IRWXU || ::fchmod(folder.get(), S_IRWXU) == 0;
}

// A folder left from an earlier run may since have become unwritable (its
// mode changed, its file system mounted read-only); extracting into it would
// create nothing and the run would go on without a word.
bool isWritableFolder(const std::string& path) { return ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0; }

} // namespace

// A private, writable folder per user below TMPDIR.
KxString userTempFolder()
{
    // Links on the way are resolved once, here: what was checked is what is
    // used, whatever a link's owner does with it later.
    const std::optional<std::string> base = resolveSafePath(temporaryBase(), MissingLevel::Refuse);
    if (!base)
        return KxString();
    const std::string folder = (*base == "/" ? "" : *base) + "/tessit-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return KxString();
    if (!makePrivateFolder(folder) || !isWritableFolder(folder))
        return KxString();
    return Kavo::pathFromNative(folder + "/");
}

} // namespace Tessit
