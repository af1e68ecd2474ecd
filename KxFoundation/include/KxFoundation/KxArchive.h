#ifndef KAVO_KXARCHIVE_H
#define KAVO_KXARCHIVE_H

#include "KxFoundation/KxString.h"

#include <cstdint>

namespace Kavo {

// An item store for serialisation: objects write numbered items and read
// them back by the same indices. Implementations live outside the library.
class KxArchive {
public:
    virtual ~KxArchive() = default;

    virtual void itemSize(int32_t index, int32_t reserved, uint32_t& size) = 0;
    virtual void readUInt16(int32_t index, uint16_t* value, const KxString& name) = 0;
    virtual void writeUInt16(int32_t index, uint16_t value, const KxString& name) = 0;
    virtual void readInt32(int32_t index, int32_t* value, const KxString& name) = 0;
    virtual void writeInt32(int32_t index, int32_t value, const KxString& name) = 0;
    virtual void readUInt32(int32_t index, uint32_t* value, const KxString& name) = 0;
    virtual void writeUInt32(int32_t index, uint32_t value, const KxString& name) = 0;
    virtual void readBytes(int32_t index, void* buffer, uint32_t count, const KxString& name) = 0;
    virtual void writeBytes(int32_t index, const void* buffer, uint32_t count, const KxString& name) = 0;
    virtual void readString(int32_t index, KxString* value, const KxString& name) = 0;
    virtual void writeString(int32_t index, const KxString& value, const KxString& name) = 0;
};

// An archive that keeps strings as items of their own; strings recognise it
// by a run-time downcast.
class KxTreedArchive : public KxArchive {
public:
    virtual KxString* readStringItem() = 0;
    virtual void writeStringItem(int32_t index, const KxString* value) = 0;
};

} // namespace Kavo

#endif
