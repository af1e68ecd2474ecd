#include "KxFoundation/KxMemoryStream.h"

#include "KxFoundation/KxArchive.h"
#include "KxFoundation/KxException.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace Kavo {

namespace {

constexpr uint64_t kLargestSize = std::numeric_limits<uint32_t>::max();

KxRangeException rangeError(const char16_t* where, uint32_t size, uint64_t value)
{
    return KxRangeException(where, KxRange{0, static_cast<int32_t>(size) - 1,
                                           static_cast<int32_t>(static_cast<uint32_t>(value))});
}

} // namespace

KxMemoryStream::KxMemoryStream() noexcept
    : m_buffer(nullptr), m_capacity(0), m_length(0), m_position(0), m_firstSize(0), m_growable(false),
      m_growStep(0), m_zeroFill(false), m_maxSize(0), m_allocHook(nullptr), m_freeHook(nullptr),
      m_copyHook(nullptr)
{
}

// Every block the stream holds came from its own `init` or growth, so it is
// released whatever size `init` was given.
KxMemoryStream::~KxMemoryStream()
{
    if (m_buffer != nullptr)
        release(m_buffer);
    m_buffer = nullptr;
    m_firstSize = 0;
    m_position = 0;
    m_length = 0;
}

void KxMemoryStream::init(uint32_t size, bool growable, uint32_t maxSize, bool zeroFill, uint32_t growStep)
{
    uint8_t* block = allocate(size, u"KxMemoryStream::init()");
    if (zeroFill)
        std::memset(block, 0, size);
    if (m_buffer != nullptr)
        release(m_buffer);
    m_buffer = block;
    m_capacity = size;
    m_growable = growable;
    m_growStep = growStep;
    m_maxSize = maxSize;
    m_zeroFill = zeroFill;
    m_length = 0;
    m_position = 0;
    m_firstSize = size;
}

void KxMemoryStream::reallocIfNeeded(uint32_t required)
{
    if (m_capacity >= required)
        return;
    if (m_firstSize == 0 || !m_growable)
        throw rangeError(u"MemoryStream::reallocIfNeeded()", m_capacity, required);
    const uint32_t step = m_growStep != 0 ? m_growStep : m_firstSize;
    // A required size that is already a multiple of the step still gets a
    // whole extra step.
    uint64_t newCapacity = std::min<uint64_t>(uint64_t(required) + step - required % step, kLargestSize);
    if (m_maxSize != 0 && m_maxSize < newCapacity) {
        newCapacity = m_maxSize;
        if (m_maxSize < required)
            throw rangeError(u"MemoryStream::reallocIfNeeded()", m_maxSize, required);
    }
    const auto size = static_cast<uint32_t>(newCapacity);
    uint8_t* block = allocate(size, u"KxMemoryStream::reallocIfNeeded()");
    if (m_zeroFill)
        std::memset(block, 0, size);
    copyBytes(block, m_buffer, m_capacity);
    release(m_buffer);
    m_buffer = block;
    m_capacity = size;
}

void KxMemoryStream::setHooks(KxAllocHook allocHook, KxFreeHook freeHook, KxCopyHook copyHook)
{
    m_allocHook = allocHook;
    m_freeHook = freeHook;
    m_copyHook = copyHook;
}

bool KxMemoryStream::isOpen() const { return m_buffer != nullptr; }
uint32_t KxMemoryStream::length() const { return m_length; }
uint32_t KxMemoryStream::position() const { return m_position; }
void KxMemoryStream::setPosition(uint32_t offset) { m_position = offset; }

void KxMemoryStream::read(void* destination, uint32_t count)
{
    const uint64_t end = uint64_t(m_position) + count;
    if (m_capacity < end)
        throw rangeError(u"MemoryStream", m_capacity, end);
    copyBytes(destination, m_buffer + m_position, count);
    m_position += count;
}

void KxMemoryStream::write(const void* source, uint32_t count)
{
    makeRoomFor(uint64_t(m_position) + count);
    copyBytes(m_buffer + m_position, source, count);
    advance(count);
}

void KxMemoryStream::fill(uint8_t value, uint32_t count)
{
    makeRoomFor(uint64_t(m_position) + count);
    if (count != 0)
        std::memset(m_buffer + m_position, value, count);
    m_position += count;
    m_length = std::max(m_length, m_position);
}

void KxMemoryStream::reset()
{
    m_length = 0;
    m_position = 0;
    m_mark = m_position;
}

void KxMemoryStream::advance(uint32_t count)
{
    m_position += count;
    m_length = std::max(m_length, m_position);
}

void KxMemoryStream::writeToArchive(KxArchive& archive)
{
    archive.writeUInt32(1, m_length, KxString());
    archive.writeBytes(2, m_buffer, m_length, KxString());
}

void KxMemoryStream::readFromArchive(KxArchive& archive)
{
    uint32_t count = 0;
    archive.readUInt32(1, &count, KxString());
    makeRoomFor(uint64_t(m_position) + count);
    archive.readBytes(2, m_buffer, count, KxString());
    m_position = 0;
    m_length = count;
}

void KxMemoryStream::writeToStream(KxStream& stream)
{
    stream.writeUInt32(m_length);
    stream.write(m_buffer, m_length);
}

void KxMemoryStream::readFromStream(KxStream& stream)
{
    uint32_t count = 0;
    stream.readUInt32(count);
    makeRoomFor(uint64_t(m_position) + count);
    stream.read(m_buffer, count);
    m_position = 0;
    m_length = count;
}

// An allocation hook may report failure C-style, with a null block.
uint8_t* KxMemoryStream::allocate(uint32_t size, const char16_t* where) const
{
    void* block = nullptr;
    try {
        block = m_allocHook != nullptr ? m_allocHook(size) : ::operator new(size);
    } catch (const std::bad_alloc&) {
        throw KxBadAllocException(where, size);
    }
    if (block == nullptr && size != 0)
        throw KxBadAllocException(where, size);
    return static_cast<uint8_t*>(block);
}

void KxMemoryStream::release(uint8_t* block) const
{
    if (m_freeHook != nullptr)
        m_freeHook(block);
    else
        ::operator delete(block);
}

void KxMemoryStream::copyBytes(void* destination, const void* source, uint32_t count) const
{
    if (count == 0)
        return;
    if (m_copyHook != nullptr)
        m_copyHook(destination, source, count);
    else
        std::memcpy(destination, source, count);
}

// An end beyond the 32-bit offsets would wrap around into the block, so it
// is refused like any growth beyond the maximum.
void KxMemoryStream::makeRoomFor(uint64_t end)
{
    if (end > kLargestSize)
        throw rangeError(u"MemoryStream::reallocIfNeeded()", m_capacity, end);
    reallocIfNeeded(static_cast<uint32_t>(end));
}

} // namespace Kavo
