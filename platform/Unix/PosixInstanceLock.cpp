#include "Unix/PosixInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Tessit {

namespace {

class InstanceLockFile : public NamedMutex {
public:
    explicit InstanceLockFile(int descriptor) : m_descriptor(descriptor) {}
    ~InstanceLockFile() override { close(m_descriptor); }
    InstanceLockFile(const InstanceLockFile&) = delete;
    InstanceLockFile& operator=(const InstanceLockFile&) = delete;

private:
    int m_descriptor;
};

} // namespace

// An entry is renamed over its target, and no rename of a file replaces a
// folder, nor does anything of the extraction remove one: as a folder the
// lock stays the one every instance meets. A file at its name (an earlier
// version's lock file) is the user's own and gives way to it.
std::unique_ptr<NamedMutex> lockInstanceFolder(const std::string& lockPath, bool& alreadyExists)
{
    alreadyExists = false;
    struct stat status;
    if (mkdir(lockPath.c_str(), S_IRWXU) != 0 && errno == EEXIST && lstat(lockPath.c_str(), &status) == 0 &&
        !S_ISDIR(status.st_mode) && status.st_uid == geteuid() && unlink(lockPath.c_str()) == 0)
        mkdir(lockPath.c_str(), S_IRWXU);
    const int descriptor = open(lockPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0)
        return nullptr;
    int result;
    do {
        result = flock(descriptor, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        alreadyExists = errno == EWOULDBLOCK;
        if (!alreadyExists) {
            close(descriptor);
            return nullptr;
        }
    }
    return std::make_unique<InstanceLockFile>(descriptor);
}

} // namespace Tessit
