#ifndef KAVO_KXEXCEPTION_H
#define KAVO_KXEXCEPTION_H

#include "KxFoundation/KxRange.h"
#include "KxFoundation/KxString.h"

#include <cstdint>

namespace Kavo {

// The library's error value. `detail` is opaque here; a subclass with data
// points it at its own data block, and a copy points at the copy's block.
class KxException : public KxObject {
public:
    KxException(const KxString& where, int32_t code, void* detail);
    ~KxException() override;

    // Only `where` and `code` are serialised; reading leaves `detail` and
    // the data block as they were.
    void writeToArchive(KxArchive& archive) override;
    void readFromArchive(KxArchive& archive) override;
    void writeToStream(KxStream& stream) override;
    void readFromStream(KxStream& stream) override;
    KxString toString() const override;

    KxString where;
    int32_t code;
    void* detail;
};

class KxRangeException : public KxException {
public:
    KxRangeException(const KxString& where, const KxRange& range);
    KxRangeException(const KxRangeException& other);
    KxRangeException& operator=(const KxRangeException& other);
    ~KxRangeException() override;

    KxString toString() const override;
    const KxRange& range() const { return m_range; }

private:
    KxRange m_range;
};

class KxBadCastException : public KxException {
public:
    KxBadCastException(const KxString& where, int32_t code, void* detail);
    ~KxBadCastException() override;
};

class KxBadAllocException : public KxException {
public:
    KxBadAllocException(const KxString& where, uint32_t allocSize);
    KxBadAllocException(const KxBadAllocException& other);
    KxBadAllocException& operator=(const KxBadAllocException& other);
    ~KxBadAllocException() override;

    KxString toString() const override;
    uint32_t allocSize() const { return m_allocSize; }

private:
    uint32_t m_allocSize;
};

} // namespace Kavo

#endif
