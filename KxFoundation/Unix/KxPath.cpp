#include "KxFoundation/KxPath.h"

#include "KxFoundation/Unix/KxNativePath.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace Kavo {

bool fileExists(const KxString& path)
{
    struct stat status;
    return ::stat(_kx_native_path(path).c_str(), &status) == 0;
}

bool isRealDirectory(const KxString& path)
{
    struct stat status;
    return ::lstat(_kx_native_path(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool nameExists(const KxString& path)
{
    struct stat status;
    return ::lstat(_kx_native_path(path).c_str(), &status) == 0;
}

bool replaceFile(const KxString& from, const KxString& to)
{
    return ::rename(_kx_native_path(from).c_str(), _kx_native_path(to).c_str()) == 0;
}

bool removeFile(const KxString& path) { return ::unlink(_kx_native_path(path).c_str()) == 0; }

// Others may not even look into folders the launcher makes: programs are
// started from them.
bool _kx_create_directory(const KxString& path)
{
    return ::mkdir(_kx_native_path(path).c_str(), S_IRWXU) == 0;
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
