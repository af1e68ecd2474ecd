#include "KxFoundation/KxPath.h"

#include "KxFoundation/Windows/KxNativePath.h"

#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <vector>

namespace Kavo {

bool fileExists(const KxString& path)
{
    struct _stat64 status;
    return _wstat64(nativePath(path).c_str(), &status) == 0;
}

bool createDirectory(const KxString& path)
{
    return CreateDirectoryW(nativePath(path).c_str(), nullptr) != FALSE;
}

// The longest path Windows reports; a longer one comes back cut to it.
KxString modulePath()
{
    constexpr DWORD kBufferUnits = 32767;
    std::vector<wchar_t> buffer(kBufferUnits, L'\0');
    GetModuleFileNameW(nullptr, buffer.data(), kBufferUnits);
    return KxString(buffer.data());
}

} // namespace Kavo
