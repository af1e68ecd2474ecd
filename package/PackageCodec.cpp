#include "package/PackageCodec.h"

#include "package/LittleEndian.h"

namespace Tessit {

std::vector<uint8_t> encodeHeader(const PackageHeader& header)
{
    const size_t count = size_t(header.count);
    std::vector<uint8_t> bytes(headerBytes(header.count), 0);
    writeLittleEndian32(&bytes[0], uint32_t(header.oemId));
    writeLittleEndian32(&bytes[4], uint32_t(header.count));
    for (size_t entry = 0; entry < count; ++entry) {
        writeLittleEndian32(&bytes[kHeaderFixedBytes + 4 * entry], uint32_t(header.sizes[entry]));
        uint8_t* slot = &bytes[kHeaderFixedBytes + 4 * count + kNameSlotBytes * entry];
        for (size_t unit = 0; unit < kNameSlotUnits; ++unit)
            writeLittleEndian16(&slot[2 * unit], header.names[entry][unit]);
    }
    return bytes;
}

void decodeEntryTable(const uint8_t* sizes, const uint8_t* nameSlots, PackageHeader& header)
{
    const size_t count = size_t(header.count);
    header.sizes.resize(count);
    header.names.resize(count);
    for (size_t entry = 0; entry < count; ++entry) {
        header.sizes[entry] = int32_t(readLittleEndian32(&sizes[entry * 4]));
        const uint8_t* slot = &nameSlots[entry * kNameSlotBytes];
        for (size_t unit = 0; unit < kNameSlotUnits; ++unit)
            header.names[entry][unit] = char16_t(readLittleEndian16(&slot[unit * 2]));
    }
}

FooterBytes encodeFooter(uint32_t headerOffset)
{
    FooterBytes footer{};
    writeLittleEndian32(&footer[0], PACKAGE_MAGIC);
    writeLittleEndian32(&footer[4], headerOffset);
    return footer;
}

bool isMagicAt(const uint8_t* bytes) { return readLittleEndian32(bytes) == PACKAGE_MAGIC; }

} // namespace Tessit
