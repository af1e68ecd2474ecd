#include "KxFoundation/KxPath.h"

#include "KxFoundation/Unix/KxNativePath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace Kavo {

bool fileExists(const KxString& path)
{
    struct stat status;
    return ::stat(_kx_native_path(path).c_str(), &status) == 0;
}

bool _kx_create_directory(const KxString& path)
{
    return ::mkdir(_kx_native_path(path).c_str(), 0777) == 0;
}

// Empty when the system cannot tell.
KxString modulePath()
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return KxString();
        if (size_t(length) < buffer.size())
            return _kx_path_from_native(std::string(buffer.data(), size_t(length)));
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace Kavo
