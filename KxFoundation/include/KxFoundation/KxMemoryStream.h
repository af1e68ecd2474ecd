#ifndef KAVO_KXMEMORYSTREAM_H
#define KAVO_KXMEMORYSTREAM_H

#include "KxFoundation/KxStream.h"

#include <cstdint>

namespace Kavo {

using KxAllocHook = void* (*)(uint32_t size);
using KxFreeHook = void (*)(void* block);
using KxCopyHook = void (*)(void* destination, const void* source, uint32_t count);

// A stream over one heap block that it owns and grows in fixed steps, up to
// an optional maximum. Reads are bounded by the block's capacity, not by the
// content's length. After any failure the block, capacity, length and
// position are as they were.
class KxMemoryStream : public KxStream {
public:
    KxMemoryStream() noexcept;
    ~KxMemoryStream() override;

    // Stream form: 32-bit length, then the content. Archive form: item 1 the
    // length, item 2 the content. Reading makes room for position + n bytes
    // and stores them at offset 0.
    void writeToArchive(KxArchive& archive) override;
    void readFromArchive(KxArchive& archive) override;
    void writeToStream(KxStream& stream) override;
    void readFromStream(KxStream& stream) override;

    bool isOpen() const override;
    uint32_t length() const override;
    uint32_t position() const override;
    void setPosition(uint32_t offset) override;
    void read(void* destination, uint32_t count) override;
    void write(const void* source, uint32_t count) override;
    void fill(uint8_t value, uint32_t count) override;
    void reset() override;
    virtual void advance(uint32_t count);

    // Allocates the first block of `size` bytes and sets the growth policy:
    // `maxSize` 0 means no limit, `growStep` 0 means steps of `size`. A block
    // the stream already owns is released once the new one is in place.
    void init(uint32_t size, bool growable, uint32_t maxSize, bool zeroFill, uint32_t growStep);
    // Grows the block to the smallest multiple of the step strictly above
    // `required` (clamped to the maximum), or raises.
    void reallocIfNeeded(uint32_t required);

    // Replaces the default heap allocation, release and copy; a null hook
    // restores the default.
    void setHooks(KxAllocHook allocHook, KxFreeHook freeHook, KxCopyHook copyHook);

    const uint8_t* buffer() const { return m_buffer; }
    uint32_t capacity() const { return m_capacity; }

private:
    uint8_t* allocate(uint32_t size, const char16_t* where) const;
    void release(uint8_t* block) const;
    void copyBytes(void* destination, const void* source, uint32_t count) const;
    void makeRoomFor(uint64_t end);

    uint8_t* m_buffer;
    uint32_t m_capacity;
    uint32_t m_length;
    uint32_t m_position;
    uint32_t m_firstSize;
    bool m_growable;
    uint32_t m_growStep;
    bool m_zeroFill;
    uint32_t m_maxSize;
    KxAllocHook m_allocHook;
    KxFreeHook m_freeHook;
    KxCopyHook m_copyHook;
};

} // namespace Kavo

#endif
