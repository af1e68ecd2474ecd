#include "KxFoundation/KxFileDescriptor.h"

#include "KxFoundation/KxString.h"
#include "KxFoundation/Windows/KxNativePath.h"

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

} // namespace

// Deny-none sharing: other openers keep read and write access.
int32_t _kx_descriptor_open(const KxString& path, KxOpenMode mode)
{
    int descriptor = -1;
    if (_wsopen_s(&descriptor, _kx_native_path(path).c_str(), openFlags(mode), _SH_DENYNO,
                  _S_IREAD | _S_IWRITE) != 0)
        return -1;
    return descriptor;
}

int32_t _kx_descriptor_read(int32_t descriptor, void* buffer, int32_t count)
{
    return _read(descriptor, buffer, static_cast<unsigned>(count));
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

void _kx_descriptor_close(int32_t descriptor) { _close(descriptor); }

} // namespace Kavo
