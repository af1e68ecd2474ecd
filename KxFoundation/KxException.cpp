#include "KxFoundation/KxException.h"

#include <cstdint>

namespace Kavo {

namespace {

// A copied exception's detail points at the copy's own block when the
// source's pointed at the source's block; anything else is copied as is.
void* rebasedDetail(const void* sourceDetail, const void* sourceBlock, void* ownBlock)
{
    return sourceDetail == sourceBlock ? ownBlock : const_cast<void*>(sourceDetail);
}

KxString baseMessage(const KxException& exception)
{
    KxString message;
    message.format(u"\"%@\", %d, 0x%x", &exception.where, exception.code,
                   static_cast<uint32_t>(reinterpret_cast<uintptr_t>(exception.detail)));
    return message;
}

} // namespace

KxException::KxException(const KxString& where, int32_t code, void* detail)
    : where(where), code(code), detail(detail)
{
}

KxException::~KxException() = default;

KxString KxException::toString() const { return baseMessage(*this); }

KxRangeException::KxRangeException(const KxString& where, const KxRange& range)
    : KxException(where, 0, nullptr), m_range(range)
{
    detail = &m_range;
}

KxRangeException::KxRangeException(const KxRangeException& other)
    : KxException(other), m_range(other.m_range)
{
    detail = rebasedDetail(other.detail, &other.m_range, &m_range);
}

KxRangeException& KxRangeException::operator=(const KxRangeException& other)
{
    KxException::operator=(other);
    m_range = other.m_range;
    detail = rebasedDetail(other.detail, &other.m_range, &m_range);
    return *this;
}

KxRangeException::~KxRangeException() = default;

KxString KxRangeException::toString() const
{
    if (detail == nullptr)
        return baseMessage(*this);
    const auto* range = static_cast<const KxRange*>(detail);
    KxString message;
    message.format(u"\"%@\", %d in [%d, %d]", &where, range->value, range->lower, range->upper);
    return message;
}

KxBadCastException::KxBadCastException(const KxString& where, int32_t code, void* detail)
    : KxException(where, code, detail)
{
}

KxBadCastException::~KxBadCastException() = default;

KxBadAllocException::KxBadAllocException(const KxString& where, uint32_t allocSize)
    : KxException(where, 0, nullptr), m_allocSize(allocSize)
{
    detail = &m_allocSize;
}

KxBadAllocException::KxBadAllocException(const KxBadAllocException& other)
    : KxException(other), m_allocSize(other.m_allocSize)
{
    detail = rebasedDetail(other.detail, &other.m_allocSize, &m_allocSize);
}

KxBadAllocException& KxBadAllocException::operator=(const KxBadAllocException& other)
{
    KxException::operator=(other);
    m_allocSize = other.m_allocSize;
    detail = rebasedDetail(other.detail, &other.m_allocSize, &m_allocSize);
    return *this;
}

KxBadAllocException::~KxBadAllocException() = default;

KxString KxBadAllocException::toString() const
{
    if (detail == nullptr)
        return baseMessage(*this);
    KxString message;
    message.format(u"\"%@\", allocSize=%u", &where, *static_cast<const uint32_t*>(detail));
    return message;
}

} // namespace Kavo
