#include "KxFileDescriptor.h"

#include "KxFoundation/KxString.h"
#include "KxFoundation/Unix/KxNativePath.h"
#include "Unix/KxRunningProgram.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Kavo {

static_assert(sizeof(off_t) == 8, "seeks take 64-bit offsets");

namespace {

int openFlags(KxOpenMode mode)
{
    switch (mode) {
    case KxOpenMode::ReadOnly: return O_RDONLY;
    case KxOpenMode::ReadWrite: return O_RDWR;
    case KxOpenMode::CreateOrTruncate: return O_RDWR | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

// An interrupted call transferred nothing and is repeated.
template <typename Call>
auto retryingInterrupted(Call call)
{
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR)
            return result;
    }
}

} // namespace

// Created files are runnable by their owner: packaged programs are started
// after extraction. The umask still applies.
int32_t _kx_descriptor_open(const KxString& path, KxOpenMode mode)
{
    const std::string systemPath = nativePath(path);
    return retryingInterrupted([&] { return ::open(systemPath.c_str(), openFlags(mode), S_IRWXU); });
}

// Opened without waiting, so that a FIFO put in the file's place cannot
// block the reader, and kept only when it is a regular file (which reads
// the same with or without waiting).
int32_t _kx_descriptor_open_held_in(intptr_t folder, const KxString& name)
{
    const std::string systemName = utf8Text(name);
    const int descriptor = retryingInterrupted(
        [&] { return ::openat(int(folder), systemName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
    struct stat status;
    if (descriptor == -1)
        return -1;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

int32_t _kx_descriptor_open_running_image()
{
    return retryingInterrupted([] { return ::open(kRunningProgramFile, O_RDONLY | O_CLOEXEC); });
}

int32_t _kx_descriptor_read(int32_t descriptor, void* buffer, int32_t count)
{
    return static_cast<int32_t>(retryingInterrupted([&] { return ::read(descriptor, buffer, size_t(count)); }));
}

int32_t _kx_descriptor_read_at(int32_t descriptor, void* buffer, int32_t count, uint64_t offset)
{
    return static_cast<int32_t>(
        retryingInterrupted([&] { return ::pread(descriptor, buffer, size_t(count), off_t(offset)); }));
}

int32_t _kx_descriptor_write(int32_t descriptor, const void* data, int32_t count)
{
    return static_cast<int32_t>(retryingInterrupted([&] { return ::write(descriptor, data, size_t(count)); }));
}

int64_t _kx_descriptor_seek(int32_t descriptor, int64_t offset, int origin)
{
    return ::lseek(descriptor, offset, origin);
}

int32_t _kx_descriptor_commit(int32_t descriptor)
{
    return retryingInterrupted([&] { return ::fsync(descriptor); });
}

// Asynchronous: queues the file's dirty pages for writing and returns.
int32_t _kx_descriptor_start_writeback(int32_t descriptor)
{
    return retryingInterrupted([&] { return ::sync_file_range(descriptor, 0, 0, SYNC_FILE_RANGE_WRITE); });
}

int64_t _kx_descriptor_length(int32_t descriptor)
{
    struct stat status;
    return ::fstat(descriptor, &status) == 0 ? int64_t(status.st_size) : -1;
}

void _kx_descriptor_close(int32_t descriptor) { ::close(descriptor); }


} // namespace Kavo
