#include "KxFoundation/KxPath.h"

#include "KxFoundation/Unix/KxNativePath.h"
#include "Unix/KxRunningProgram.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace Kavo {

bool fileExists(const KxString& path)
{
    struct stat status;
    return ::stat(nativePath(path).c_str(), &status) == 0;
}

// Others may not even look into folders the launcher makes: programs are
// started from them.
bool createDirectory(const KxString& path)
{
    return ::mkdir(nativePath(path).c_str(), S_IRWXU) == 0;
}

// Empty when the system cannot tell.
KxString modulePath()
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink(kRunningProgramFile, buffer.data(), buffer.size());
        if (length < 0)
            return KxString();
        if (size_t(length) < buffer.size())
            return pathFromNative(std::string(buffer.data(), size_t(length)));
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace Kavo
