#ifndef TESSIT_TESTS_KXMEMORYARCHIVE_H
#define TESSIT_TESTS_KXMEMORYARCHIVE_H

#include "KxFoundation/KxArchive.h"
#include "KxFoundation/KxString.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

namespace Kavo {

// An archive in memory for tests: every item keeps its bytes (strings their
// text) and the name it was written with. Reading a missing item throws, as
// a real archive's failure would.
template <typename Base>
class KxBasicMemoryArchive : public Base {
public:
    std::map<int32_t, std::vector<uint8_t>> items;
    std::map<int32_t, KxString> strings;
    std::map<int32_t, KxString> names;

    void itemSize(int32_t index, int32_t, uint32_t& size) override
    {
        const auto item = items.find(index);
        if (item != items.end())
            size = static_cast<uint32_t>(item->second.size());
    }
    void readUInt16(int32_t index, uint16_t* value, const KxString&) override { readRaw(index, value, sizeof *value); }
    void writeUInt16(int32_t index, uint16_t value, const KxString& name) override { writeRaw(index, &value, sizeof value, name); }
    void readInt32(int32_t index, int32_t* value, const KxString&) override { readRaw(index, value, sizeof *value); }
    void writeInt32(int32_t index, int32_t value, const KxString& name) override { writeRaw(index, &value, sizeof value, name); }
    void readUInt32(int32_t index, uint32_t* value, const KxString&) override { readRaw(index, value, sizeof *value); }
    void writeUInt32(int32_t index, uint32_t value, const KxString& name) override { writeRaw(index, &value, sizeof value, name); }
    void readBytes(int32_t index, void* buffer, uint32_t count, const KxString&) override { readRaw(index, buffer, count); }
    void writeBytes(int32_t index, const void* buffer, uint32_t count, const KxString& name) override
    {
        writeRaw(index, buffer, count, name);
    }
    void readString(int32_t index, KxString* value, const KxString&) override { *value = strings.at(index); }
    void writeString(int32_t index, const KxString& value, const KxString& name) override
    {
        strings[index] = value;
        names[index] = name;
    }

private:
    void readRaw(int32_t index, void* destination, std::size_t count)
    {
        const std::vector<uint8_t>& item = items.at(index);
        if (item.size() < count)
            throw std::out_of_range("item shorter than the read");
        if (count != 0)
            std::memcpy(destination, item.data(), count);
    }
    void writeRaw(int32_t index, const void* source, std::size_t count, const KxString& name)
    {
        const auto* bytes = static_cast<const uint8_t*>(source);
        items[index].assign(bytes, bytes + count);
        names[index] = name;
    }
};

using KxMemoryArchive = KxBasicMemoryArchive<KxArchive>;

// A treed archive whose current string item is the one `currentIndex` names.
class KxMemoryTreedArchive : public KxBasicMemoryArchive<KxTreedArchive> {
public:
    int32_t currentIndex = 2;
    KxString* currentItem = nullptr;

    KxString* readStringItem() override
    {
        if (currentItem != nullptr)
            return currentItem;
        const auto item = strings.find(currentIndex);
        return item == strings.end() ? nullptr : &item->second;
    }
    void writeStringItem(int32_t index, const KxString* value) override { strings[index] = *value; }
};

} // namespace Kavo

#endif
