#include "KxFoundation/KxStream.h"

#include <boost/endian/conversion.hpp>

namespace Kavo {

namespace {

constexpr uint8_t kHostByteOrder = 0;

} // namespace

KxStream::KxStream() noexcept
    : m_byteOrder(kHostByteOrder), m_swapBytes(m_byteOrder != kHostByteOrder), m_mark(0)
{
}

KxStream::~KxStream() = default;

uint32_t KxStream::remaining() const
{
    const uint32_t end = length();
    const uint32_t offset = position();
    return offset < end ? end - offset : 0;
}

void KxStream::readUInt16(uint16_t& value)
{
    read(&value, sizeof value);
    if (m_swapBytes)
        boost::endian::endian_reverse_inplace(value);
}

void KxStream::readUInt32(uint32_t& value)
{
    read(&value, sizeof value);
    if (m_swapBytes)
        boost::endian::endian_reverse_inplace(value);
}

void KxStream::writeUInt16(uint16_t value)
{
    if (m_swapBytes)
        boost::endian::endian_reverse_inplace(value);
    write(&value, sizeof value);
}

void KxStream::writeUInt32(uint32_t value)
{
    if (m_swapBytes)
        boost::endian::endian_reverse_inplace(value);
    write(&value, sizeof value);
}

} // namespace Kavo
