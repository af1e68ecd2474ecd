#include "package/PeImage.h"

#include "package/LittleEndian.h"

namespace Tessit {

namespace {

constexpr uint16_t kDosMagic = 0x5A4D;             // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;      // "PE\0\0"
constexpr uint64_t kNewHeaderOffsetField = 0x3C;
constexpr uint64_t kOptionalHeaderStart = 24;      // after the signature and the file header
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint64_t kPe32SecurityEntry = 128;
constexpr uint64_t kPe32PlusSecurityEntry = 144;
constexpr uint64_t kDirectoryEntryBytes = 8;

} // namespace

std::optional<SecurityDirectory> readSecurityDirectory(const uint8_t* bytes, uint64_t size)
{
    if (size < kNewHeaderOffsetField + 4 || readLittleEndian16(bytes) != kDosMagic)
        return std::nullopt;
    const uint64_t signature = readLittleEndian32(bytes + kNewHeaderOffsetField);
    const uint64_t optionalHeader = signature + kOptionalHeaderStart;
    if (optionalHeader + 2 > size || readLittleEndian32(bytes + signature) != kPeSignature)
        return std::nullopt;
    const bool pe32Plus = readLittleEndian16(bytes + optionalHeader) == kPe32PlusMagic;
    SecurityDirectory directory;
    directory.entryOffset = optionalHeader + (pe32Plus ? kPe32PlusSecurityEntry : kPe32SecurityEntry);
    if (directory.entryOffset + kDirectoryEntryBytes > size)
        return std::nullopt;
    directory.tableOffset = readLittleEndian32(bytes + directory.entryOffset);
    directory.tableSize = readLittleEndian32(bytes + directory.entryOffset + 4);
    return directory;
}

} // namespace Tessit
