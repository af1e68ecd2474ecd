#ifndef KAVO_KXFILEDESCRIPTOR_H
#define KAVO_KXFILEDESCRIPTOR_H

#include <cstdint>

namespace Kavo {

class KxString;

// The C runtime's descriptor calls behind KxFile, one implementation per
// platform. Each is one call on the descriptor; -1 reports failure.
enum class KxOpenMode {
    ReadOnly,
    ReadWrite,
    CreateOrTruncate,
};

int32_t _kx_descriptor_open(const KxString& path, KxOpenMode mode);
// The regular file `name` in the open folder `folder` (a KxFolder handle),
// for reading, never through a link; while it is open others may only read
// it (on Windows it can then be neither written, renamed nor deleted).
int32_t _kx_descriptor_open_held_in(intptr_t folder, const KxString& name);
// The running program's own file, for reading.
int32_t _kx_descriptor_open_running_image();
int32_t _kx_descriptor_read(int32_t descriptor, void* buffer, int32_t count);
// Reads at `offset` without using or moving a position others rely on.
int32_t _kx_descriptor_read_at(int32_t descriptor, void* buffer, int32_t count, uint64_t offset);
int32_t _kx_descriptor_write(int32_t descriptor, const void* data, int32_t count);
int64_t _kx_descriptor_seek(int32_t descriptor, int64_t offset, int origin);
int32_t _kx_descriptor_commit(int32_t descriptor);
int32_t _kx_descriptor_start_writeback(int32_t descriptor);
int64_t _kx_descriptor_length(int32_t descriptor);
void _kx_descriptor_close(int32_t descriptor);

} // namespace Kavo

#endif
