#include "KxReplacementSystem.h"

#include "KxRelativeOpen.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <vector>

namespace Kavo {

namespace {

HANDLE handleOf(intptr_t folder) { return reinterpret_cast<HANDLE>(folder); }

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `name` in `folder` for renaming or removing it: the file itself, a
// reparse point included, never what one leads to.
HANDLE openForDeletion(intptr_t folder, const KxString& name, ULONG options = 0)
{
    return _kx_open_relative(handleOf(folder), name, {DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, options});
}

bool removeOpened(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    const bool removed = SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(file);
    return removed;
}

} // namespace

// Access follows the folder: Windows has no mode to set. The part may be
// renamed or deleted by others (its name is only a step on the way to the
// target) but not written.
int32_t _kx_replacement_create(intptr_t folder, const KxString& part, const KxString&, KxReplacementAccess)
{
    const HANDLE file =
        _kx_open_relative(handleOf(folder), part,
                          {GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_CREATE,
                           FILE_NON_DIRECTORY_FILE});
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    if (descriptor == -1) {
        removeOpened(file);
        return -1;
    }
    return descriptor;
}

bool _kx_replacement_rename(intptr_t folder, const KxString& part, const KxString& target)
{
    const HANDLE file = openForDeletion(folder, part, FILE_NON_DIRECTORY_FILE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool renamed = !_kx_is_reparse_point(file) && _kx_rename_relative(file, handleOf(folder), target);
    CloseHandle(file);
    return renamed;
}

bool _kx_replacement_remove(intptr_t folder, const KxString& part)
{
    const HANDLE file = openForDeletion(folder, part);
    return file != INVALID_HANDLE_VALUE && removeOpened(file);
}

// Files the user may delete are the user's to clear here; reparse points
// and folders are passed over.
void _kx_replacement_sweep(intptr_t folder, const std::function<bool(const KxString& name)>& isLeftover)
{
    std::vector<uint8_t> buffer(64 * 1024);
    std::vector<KxString> leftovers;
    FILE_INFO_BY_HANDLE_CLASS kind = FileFullDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(handleOf(folder), kind, buffer.data(), DWORD(buffer.size()))) {
        kind = FileFullDirectoryInfo;
        for (size_t offset = 0;;) {
            const auto* item = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer.data() + offset);
            const KxString name(std::u16string(reinterpret_cast<const char16_t*>(item->FileName),
                                               item->FileNameLength / sizeof(WCHAR)).c_str());
            if ((item->FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                isLeftover(name))
                leftovers.push_back(name);
            if (item->NextEntryOffset == 0)
                break;
            offset += item->NextEntryOffset;
        }
    }
    for (const KxString& name : leftovers) {
        const HANDLE file = openForDeletion(folder, name, FILE_NON_DIRECTORY_FILE);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        if (_kx_is_reparse_point(file))
            CloseHandle(file);
        else
            removeOpened(file);
    }
}

} // namespace Kavo
