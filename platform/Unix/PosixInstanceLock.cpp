#include "Unix/PosixInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
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

std::unique_ptr<NamedMutex> lockInstanceFile(const std::string& lockPath, bool& alreadyExists)
{
    alreadyExists = false;
    const int descriptor = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
