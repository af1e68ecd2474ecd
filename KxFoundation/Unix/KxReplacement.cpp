#include "KxReplacementSystem.h"

#include "KxFoundation/Unix/KxNativePath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Kavo {

namespace {

constexpr mode_t kUserOnly = S_IRUSR | S_IWUSR;

// Runnable is left to the umask, as a linker leaves its output; every other
// access is set exactly.
mode_t creationMode(KxReplacementAccess access)
{
    return access == KxReplacementAccess::Runnable ? 0755 : kUserOnly;
}

mode_t exactMode(KxReplacementAccess access, const KxString& target)
{
    switch (access) {
    case KxReplacementAccess::UserOnly: return kUserOnly;
    case KxReplacementAccess::UserRunnable: return S_IRWXU;
    case KxReplacementAccess::Runnable: return 0;
    case KxReplacementAccess::KeepTarget: {
        struct stat status;
        const bool isFile = ::lstat(nativePath(target).c_str(), &status) == 0 && S_ISREG(status.st_mode);
        return isFile ? status.st_mode & 07777 : kUserOnly;
    }
    }
    return kUserOnly;
}

} // namespace

int32_t _kx_replacement_create(const KxString& part, const KxString& target, KxReplacementAccess access)
{
    const std::string path = nativePath(part);
    int descriptor;
    do
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, creationMode(access));
    while (descriptor == -1 && errno == EINTR);
    if (descriptor == -1 || access == KxReplacementAccess::Runnable)
        return descriptor;
    if (::fchmod(descriptor, exactMode(access, target)) != 0) {
        ::close(descriptor);
        ::unlink(path.c_str());
        return -1;
    }
    return descriptor;
}

// The folder is opened without following a link, and each name is looked at
// and removed relative to it.
void _kx_replacement_sweep(const KxString& folder, const std::function<bool(const KxString& name)>& isLeftover)
{
    const int folderDescriptor =
        ::open(nativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderDescriptor == -1)
        return;
    DIR* listing = ::fdopendir(folderDescriptor);
    if (!listing) {
        ::close(folderDescriptor);
        return;
    }
    const uid_t user = ::geteuid();
    while (const dirent* entry = ::readdir(listing)) {
        struct stat status;
        if (!isLeftover(pathFromNative(entry->d_name)) ||
            ::fstatat(folderDescriptor, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode) || status.st_uid != user)
            continue;
        ::unlinkat(folderDescriptor, entry->d_name, 0);
    }
    ::closedir(listing);
}

} // namespace Kavo
