#include "KxFoundation/KxFile.h"

#include "KxFileDescriptor.h"
#include "KxFoundation/KxFolder.h"

#include <cstdio>
#include <limits>

namespace Kavo {

namespace {

// Counts are unsigned but results are signed: one call moves at most what
// its result can report.
int32_t clampedCount(uint32_t count)
{
    constexpr uint32_t kLargest = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(count > kLargest ? kLargest : count);
}

int runtimeOrigin(KxSeekOrigin origin)
{
    switch (origin) {
    case KxSeekOrigin::Start: return SEEK_SET;
    case KxSeekOrigin::Current: return SEEK_CUR;
    case KxSeekOrigin::End: return SEEK_END;
    }
    return SEEK_SET;
}

} // namespace

KxFile::~KxFile() { close(); }

// A descriptor already held is released first, so reopening never leaks one.
bool KxFile::open(const KxString& path, bool writable)
{
    close();
    descriptor = _kx_descriptor_open(path, writable ? KxOpenMode::ReadWrite : KxOpenMode::ReadOnly);
    return isOpen();
}

bool KxFile::create(const KxString& path)
{
    close();
    descriptor = _kx_descriptor_open(path, KxOpenMode::CreateOrTruncate);
    return isOpen();
}

bool KxFile::openHeldIn(const KxFolder& folder, const KxString& name)
{
    close();
    if (folder.isOpen())
        descriptor = _kx_descriptor_open_held_in(folder.handle(), name);
    return isOpen();
}

bool KxFile::openRunningImage()
{
    close();
    descriptor = _kx_descriptor_open_running_image();
    return isOpen();
}

int32_t KxFile::read(void* buffer, uint32_t count)
{
    if (!isOpen())
        return -1;
    return _kx_descriptor_read(descriptor, buffer, clampedCount(count));
}

// A positional read may deliver part of what was asked; the rest is asked
// for again until the end of the file or a failure ends it.
bool KxFile::readExactlyAt(uint64_t offset, void* buffer, uint32_t count)
{
    if (!isOpen())
        return false;
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const int32_t delivered = _kx_descriptor_read_at(descriptor, bytes, clampedCount(count), offset);
        if (delivered <= 0)
            return false;
        bytes += delivered;
        offset += uint32_t(delivered);
        count -= uint32_t(delivered);
    }
    return true;
}

int32_t KxFile::write(const void* data, uint32_t count)
{
    if (!isOpen())
        return -1;
    return _kx_descriptor_write(descriptor, data, clampedCount(count));
}

bool KxFile::writeAll(const void* data, uint32_t count)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (count > 0) {
        const int32_t written = write(bytes, count);
        if (written <= 0)
            return false;
        bytes += written;
        count -= uint32_t(written);
    }
    return true;
}

bool KxFile::seek(int64_t offset, KxSeekOrigin origin)
{
    return isOpen() && _kx_descriptor_seek(descriptor, offset, runtimeOrigin(origin)) != -1;
}

int32_t KxFile::flush()
{
    if (!isOpen())
        return -1;
    return _kx_descriptor_commit(descriptor);
}

int32_t KxFile::startWriteback()
{
    if (!isOpen())
        return -1;
    return _kx_descriptor_start_writeback(descriptor);
}

int64_t KxFile::length() const { return isOpen() ? _kx_descriptor_length(descriptor) : -1; }

void KxFile::close()
{
    if (!isOpen())
        return;
    _kx_descriptor_close(descriptor);
    descriptor = -1;
}

} // namespace Kavo
