#include "KxFoundation/KxPath.h"

#include "KxFoundation/Windows/KxNativePath.h"

#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <vector>

namespace Kavo {

bool namesDriveOrStream(const KxString& name) { return name.indexOfAny(u":", 0) != -1; }

bool fileExists(const KxString& path)
{
    struct _stat64 status;
    return _wstat64(nativePath(path).c_str(), &status) == 0;
}

bool isRealDirectory(const KxString& path)
{
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// The attributes of a reparse point are its own: the query does not follow it.
bool nameExists(const KxString& path)
{
    return GetFileAttributesW(nativePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool replaceFile(const KxString& from, const KxString& to)
{
    return MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

bool sameFileName(const KxString& first, const KxString& second) { return first.equalsIgnoreCase(second); }

bool removeFile(const KxString& path) { return DeleteFileW(nativePath(path).c_str()) != FALSE; }

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
