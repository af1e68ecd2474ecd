#include "KxFolderSystem.h"

#include "KxFoundation/Unix/KxNativePath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Kavo {

const char16_t _kx_folder_separator = u'/';

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

intptr_t retryingOpen(int folder, const std::string& name, int flags)
{
    int descriptor;
    do
        descriptor = ::openat(folder, name.c_str(), flags);
    while (descriptor == -1 && errno == EINTR);
    return descriptor;
}

} // namespace

intptr_t _kx_folder_open(const KxString& path) { return retryingOpen(AT_FDCWD, nativePath(path), kFolderFlags); }

// O_NOFOLLOW refuses a link as the last (here the only) component.
intptr_t _kx_folder_open_level(intptr_t parent, const KxString& name)
{
    return retryingOpen(int(parent), utf8Text(name), kFolderFlags | O_NOFOLLOW);
}

// A folder for its owner alone lets others not even look into it: the
// launcher starts programs from such folders.
bool _kx_folder_make_level(intptr_t folder, const KxString& name, KxFolderAccess access)
{
    return ::mkdirat(int(folder), utf8Text(name).c_str(), access == KxFolderAccess::UserOnly ? S_IRWXU : 0755) == 0;
}

bool _kx_folder_remove_level(intptr_t folder, const KxString& name)
{
    return ::unlinkat(int(folder), utf8Text(name).c_str(), AT_REMOVEDIR) == 0;
}

KxFolderEntry _kx_folder_entry(intptr_t folder, const KxString& name)
{
    struct stat status;
    if (::fstatat(int(folder), utf8Text(name).c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return KxFolderEntry::Missing;
    return S_ISDIR(status.st_mode) ? KxFolderEntry::Folder : KxFolderEntry::Other;
}

void _kx_folder_close(intptr_t folder) { ::close(int(folder)); }

} // namespace Kavo
