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

bool leftToUmask(KxReplacementAccess access)
{
    return access == KxReplacementAccess::Runnable || access == KxReplacementAccess::Readable;
}

// Runnable and Readable are left to the umask, as a linker or an archiver
// leaves its output; every other access is set exactly.
mode_t creationMode(KxReplacementAccess access)
{
    switch (access) {
    case KxReplacementAccess::Runnable: return 0755;
    case KxReplacementAccess::Readable: return 0644;
    default: return kUserOnly;
    }
}

mode_t exactMode(KxReplacementAccess access, int folder, const std::string& target)
{
    switch (access) {
    case KxReplacementAccess::UserOnly: return kUserOnly;
    case KxReplacementAccess::UserRunnable: return S_IRWXU;
    case KxReplacementAccess::Runnable:
    case KxReplacementAccess::Readable: return 0;
    case KxReplacementAccess::KeepTarget: {
        struct stat status;
        const bool isFile = ::fstatat(folder, target.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode);
        return isFile ? status.st_mode & 07777 : kUserOnly;
    }
    }
    return kUserOnly;
}

} // namespace

int32_t _kx_replacement_create(intptr_t folder, const KxString& part, const KxString& target,
                               KxReplacementAccess access)
{
    const int at = int(folder);
    const std::string name = utf8Text(part);
    int descriptor;
    do
        descriptor = ::openat(at, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, creationMode(access));
    while (descriptor == -1 && errno == EINTR);
    if (descriptor == -1 || leftToUmask(access))
        return descriptor;
    if (::fchmod(descriptor, exactMode(access, at, utf8Text(target))) != 0) {
        ::close(descriptor);
        ::unlinkat(at, name.c_str(), 0);
        return -1;
    }
    return descriptor;
}

bool _kx_replacement_rename(intptr_t folder, const KxString& part, const KxString& target)
{
    return ::renameat(int(folder), utf8Text(part).c_str(), int(folder), utf8Text(target).c_str()) == 0;
}

bool _kx_replacement_remove(intptr_t folder, const KxString& part)
{
    return ::unlinkat(int(folder), utf8Text(part).c_str(), 0) == 0;
}

// Each name is looked at and removed relative to the folder, through a
// listing of its own (a copy of the descriptor, read from the start).
void _kx_replacement_sweep(intptr_t folder, const std::function<bool(const KxString& name)>& isLeftover)
{
    const int listingDescriptor = ::openat(int(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listingDescriptor == -1)
        return;
    DIR* listing = ::fdopendir(listingDescriptor);
    if (!listing) {
        ::close(listingDescriptor);
        return;
    }
    const uid_t user = ::geteuid();
    while (const dirent* entry = ::readdir(listing)) {
        struct stat status;
        if (!isLeftover(pathFromNative(entry->d_name)) ||
            ::fstatat(int(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != user)
            continue;
        ::unlinkat(int(folder), entry->d_name, 0);
    }
    ::closedir(listing);
}

} // namespace Kavo
