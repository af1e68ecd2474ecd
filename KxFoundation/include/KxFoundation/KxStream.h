#ifndef KAVO_KXSTREAM_H
#define KAVO_KXSTREAM_H

#include "KxFoundation/KxObject.h"

#include <cstdint>

namespace Kavo {

// An abstract byte stream with a current position. Multi-byte integers
// travel in the stream's byte order, which is always the host's: no
// operation changes it after construction.
class KxStream : public KxObject {
public:
    KxStream() noexcept;
    KxStream(const KxStream&) = delete;
    KxStream& operator=(const KxStream&) = delete;
    ~KxStream() override;

    virtual bool isOpen() const = 0;
    // Bytes from the position to the end of the content; 0 when the
    // position lies beyond the content.
    virtual uint32_t remaining() const;
    virtual uint32_t length() const = 0;
    virtual uint32_t position() const = 0;
    virtual void setPosition(uint32_t offset) = 0;
    virtual void read(void* destination, uint32_t count) = 0;
    virtual void write(const void* source, uint32_t count) = 0;
    virtual void fill(uint8_t value, uint32_t count) = 0;
    virtual void reset() = 0;

    void readUInt16(uint16_t& value);
    void readUInt32(uint32_t& value);
    void writeUInt16(uint16_t value);
    void writeUInt32(uint32_t value);

    uint8_t byteOrder() const { return m_byteOrder; }
    bool swapBytes() const { return m_swapBytes; }
    uint32_t mark() const { return m_mark; }

protected:
    uint8_t m_byteOrder;
    bool m_swapBytes;
    uint32_t m_mark;
};

} // namespace Kavo

#endif
