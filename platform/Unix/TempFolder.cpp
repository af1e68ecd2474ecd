#include "TempFolder.h"

#include "Unix/OwnedDescriptor.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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
    std::string base = std::filesystem::absolute(configured && *configured ? configured : "/tmp", failed).string();
    if (failed)
        return std::string();
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base;
}

// The folder that holds the private folder: where others may write without
// the sticky bit, they could rename the private folder and put another in
// its place after it was checked (OpenSSH's strict modes refuse such a
// folder for the same reason).
bool isSafeParent(const std::string& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return false;
    return (status.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (status.st_mode & S_ISVTX) != 0;
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
    const std::string base = temporaryBase();
    if (base.empty())
        return KxString();
    if (!isSafeParent(base))
        return KxString();
    const std::string folder = base + "/tessit-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return KxString();
    if (!makePrivateFolder(folder) || !isWritableFolder(folder))
        return KxString();
    return Kavo::pathFromNative(folder + "/");
}

} // namespace Tessit
