#include "KxFolderSystem.h"

#include "KxFoundation/Windows/KxNativePath.h"
#include "KxRelativeOpen.h"

#include <windows.h>

namespace Kavo {

const char16_t _kx_folder_separator = u'\\';

namespace {

constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
// Others keep every access: the folder is only a place to look names up
// from, and a level renamed meanwhile is still the level that was checked.
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE handleOf(intptr_t folder) { return reinterpret_cast<HANDLE>(folder); }

intptr_t folderOrFailure(HANDLE folder)
{
    if (folder == INVALID_HANDLE_VALUE)
        return -1;
    FILE_ATTRIBUTE_TAG_INFO information;
    if (!GetFileInformationByHandleEx(folder, FileAttributeTagInfo, &information, sizeof information) ||
        (information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(folder);
        return -1;
    }
    return reinterpret_cast<intptr_t>(folder);
}

} // namespace

intptr_t _kx_folder_open(const KxString& path)
{
    return folderOrFailure(CreateFileW(nativePath(path).c_str(), kFolderAccess | SYNCHRONIZE, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

intptr_t _kx_folder_open_level(intptr_t parent, const KxString& name)
{
    const HANDLE level =
        _kx_open_relative(handleOf(parent), name, {kFolderAccess, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE});
    if (level != INVALID_HANDLE_VALUE && _kx_is_reparse_point(level)) {
        CloseHandle(level);
        return -1;
    }
    return folderOrFailure(level);
}

// Access follows the folder above: Windows has no mode to set.
bool _kx_folder_make_level(intptr_t folder, const KxString& name, KxFolderAccess)
{
    const HANDLE level =
        _kx_open_relative(handleOf(folder), name, {kFolderAccess, kShareAll, FILE_CREATE, FILE_DIRECTORY_FILE});
    if (level == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(level);
    return true;
}

// The folder itself, never what a reparse point in its place leads to; the
// system removes only an empty one.
bool _kx_folder_remove_level(intptr_t folder, const KxString& name)
{
    const HANDLE level =
        _kx_open_relative(handleOf(folder), name, {DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE});
    if (level == INVALID_HANDLE_VALUE)
        return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    const bool removed = !_kx_is_reparse_point(level) &&
                         SetFileInformationByHandle(level, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(level);
    return removed;
}

// A name that exists but cannot be opened (another opener shares nothing)
// is there all the same.
KxFolderEntry _kx_folder_entry(intptr_t folder, const KxString& name)
{
    LONG status = 0;
    const HANDLE item = _kx_open_relative(handleOf(folder), name, {FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0}, &status);
    if (item == INVALID_HANDLE_VALUE)
        return status == LONG(0xC0000034) || status == LONG(0xC000003A) ? KxFolderEntry::Missing
                                                                        : KxFolderEntry::Other;
    FILE_ATTRIBUTE_TAG_INFO information;
    const bool folderItself =
        GetFileInformationByHandleEx(item, FileAttributeTagInfo, &information, sizeof information) &&
        (information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    CloseHandle(item);
    return folderItself ? KxFolderEntry::Folder : KxFolderEntry::Other;
}

void _kx_folder_close(intptr_t folder) { CloseHandle(handleOf(folder)); }

} // namespace Kavo
