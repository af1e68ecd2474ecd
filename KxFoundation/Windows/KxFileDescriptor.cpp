#include "KxFileDescriptor.h"

#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxString.h"
#include "KxFoundation/Windows/KxNativePath.h"
#include "KxRelativeOpen.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

namespace Kavo {

namespace {

int openFlags(KxOpenMode mode)
{
    switch (mode) {
    case KxOpenMode::ReadOnly: return _O_RDONLY | _O_BINARY;
    case KxOpenMode::ReadWrite: return _O_RDWR | _O_BINARY;
    case KxOpenMode::CreateOrTruncate: return _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY;
    }
    return _O_RDONLY | _O_BINARY;
}

// Whether `file` is the file the running image was mapped from, asked of
// the system the way its loader asks it: a view of `file` and the image are
// views of one file. Its name cannot tell: once the running file has been
// renamed, another may carry the name the image was mapped by.
bool isRunningImage(HANDLE file)
{
    using AreMappedFilesTheSame = LONG(NTAPI*)(PVOID image, PVOID view);
    const auto sameFile = reinterpret_cast<AreMappedFilesTheSame>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtAreMappedFilesTheSame")));
    if (!sameFile)
        return false;
    const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return false;
    void* const view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);
    CloseHandle(mapping);
    if (!view)
        return false;
    const bool same = sameFile(GetModuleHandleW(nullptr), view) == 0;
    UnmapViewOfFile(view);
    return same;
}

} // namespace

// Deny-none sharing: other openers keep read and write access.
int32_t _kx_descriptor_open(const KxString& path, KxOpenMode mode)
{
    int descriptor = -1;
    if (_wsopen_s(&descriptor, nativePath(path).c_str(), openFlags(mode), _SH_DENYNO,
                  _S_IREAD | _S_IWRITE) != 0)
        return -1;
    return descriptor;
}

// Only reading is shared: the file can be neither written, renamed nor
// deleted while it is held.
int32_t _kx_descriptor_open_held_in(intptr_t folder, const KxString& name)
{
    const HANDLE file = _kx_open_relative(reinterpret_cast<HANDLE>(folder), name,
                                          {GENERIC_READ, FILE_SHARE_READ, FILE_OPEN, FILE_NON_DIRECTORY_FILE});
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    const int descriptor = _kx_is_reparse_point(file) ? -1 : _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY);
    if (descriptor == -1)
        CloseHandle(file);
    return descriptor;
}

// The running program's file may have been renamed and another put in its
// place before it is opened by its path. So it is opened held (only read
// by others: neither written, renamed nor deleted from then on) and taken
// only when the system tells it is the file the image was mapped from;
// anything else is refused.
int32_t _kx_descriptor_open_running_image()
{
    const HANDLE file = CreateFileW(nativePath(modulePath()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    if (!isRunningImage(file)) {
        CloseHandle(file);
        return -1;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY);
    if (descriptor == -1)
        CloseHandle(file);
    return descriptor;
}

int32_t _kx_descriptor_read(int32_t descriptor, void* buffer, int32_t count)
{
    return _read(descriptor, buffer, static_cast<unsigned>(count));
}

// ReadFile at the offset an OVERLAPPED names; on a handle opened for
// synchronous use it waits for the bytes like a plain read.
int32_t _kx_descriptor_read_at(int32_t descriptor, void* buffer, int32_t count, uint64_t offset)
{
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    OVERLAPPED at = {};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD delivered = 0;
    if (ReadFile(file, buffer, DWORD(count), &delivered, &at))
        return int32_t(delivered);
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

int32_t _kx_descriptor_write(int32_t descriptor, const void* data, int32_t count)
{
    return _write(descriptor, data, static_cast<unsigned>(count));
}

int64_t _kx_descriptor_seek(int32_t descriptor, int64_t offset, int origin)
{
    return _lseeki64(descriptor, offset, origin);
}

int32_t _kx_descriptor_commit(int32_t descriptor) { return _commit(descriptor); }

// Windows has no call that starts writing without waiting for it; the commit
// does all the work.
int32_t _kx_descriptor_start_writeback(int32_t) { return 0; }

int64_t _kx_descriptor_length(int32_t descriptor) { return _filelengthi64(descriptor); }

void _kx_descriptor_close(int32_t descriptor) { _close(descriptor); }


} // namespace Kavo
