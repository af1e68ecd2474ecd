#include "package/PeImage.h"

#include "package/LittleEndian.h"

#include <algorithm>

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
constexpr uint64_t kSectionCountField = 6;           // in the file header, after the signature
constexpr uint64_t kOptionalHeaderSizeField = 20;
constexpr uint64_t kSizeOfHeadersField = 60;          // in the optional header, both layouts
constexpr uint64_t kCheckSumField = 64;
constexpr uint64_t kPe32DirectoryCountField = 92;
constexpr uint64_t kPe32PlusDirectoryCountField = 108;
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr uint64_t kSectionHeaderBytes = 40;
constexpr uint64_t kRawDataSizeField = 16;            // in a section header
constexpr uint64_t kRawDataOffsetField = 20;

// What Authenticode reads of the headers, each field checked to lie inside
// the bytes given.
struct AuthenticodeHeaders {
    uint64_t checkSum = 0;
    uint64_t securityEntry = 0;
    uint64_t sizeOfHeaders = 0;
    std::vector<FileRange> sections; // raw data, in file order, none empty
};

std::optional<AuthenticodeHeaders> readAuthenticodeHeaders(const uint8_t* bytes, uint64_t size)
{
    const std::optional<SecurityDirectory> directory = readSecurityDirectory(bytes, size);
    if (!directory)
        return std::nullopt;
    const uint64_t signature = readLittleEndian32(bytes + kNewHeaderOffsetField);
    const uint64_t optionalHeader = signature + kOptionalHeaderStart;
    const bool pe32Plus = readLittleEndian16(bytes + optionalHeader) == kPe32PlusMagic;
    const uint64_t sectionCount = readLittleEndian16(bytes + signature + kSectionCountField);
    const uint64_t optionalHeaderSize = readLittleEndian16(bytes + signature + kOptionalHeaderSizeField);
    const uint64_t directoryCount =
        readLittleEndian32(bytes + optionalHeader + (pe32Plus ? kPe32PlusDirectoryCountField : kPe32DirectoryCountField));
    const uint64_t sectionTable = optionalHeader + optionalHeaderSize;
    AuthenticodeHeaders headers;
    headers.checkSum = optionalHeader + kCheckSumField;
    headers.securityEntry = directory->entryOffset;
    headers.sizeOfHeaders = readLittleEndian32(bytes + optionalHeader + kSizeOfHeadersField);
    const uint64_t sectionTableEnd = sectionTable + sectionCount * kSectionHeaderBytes;
    if (directoryCount <= kSecurityDirectoryIndex || headers.securityEntry + kDirectoryEntryBytes > sectionTable ||
        sectionTableEnd > headers.sizeOfHeaders || headers.sizeOfHeaders > size)
        return std::nullopt;
    for (uint64_t header = sectionTable; header < sectionTableEnd; header += kSectionHeaderBytes) {
        const uint64_t rawSize = readLittleEndian32(bytes + header + kRawDataSizeField);
        const uint64_t rawOffset = readLittleEndian32(bytes + header + kRawDataOffsetField);
        if (rawSize != 0)
            headers.sections.push_back(FileRange{rawOffset, rawOffset + rawSize});
    }
    std::sort(headers.sections.begin(), headers.sections.end(),
              [](const FileRange& left, const FileRange& right) { return left.begin < right.begin; });
    return headers;
}

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

// The headers first, each section where the previous part ends, then
// the rest up to the table.
std::optional<std::vector<FileRange>> authenticodeRanges(const uint8_t* headers, uint64_t available,
                                                         uint64_t fileLength, uint32_t certificateSize)
{
    const std::optional<AuthenticodeHeaders> parsed = readAuthenticodeHeaders(headers, available);
    if (!parsed || certificateSize > fileLength)
        return std::nullopt;
    const uint64_t tableStart = fileLength - certificateSize;
    std::vector<FileRange> ranges{{0, parsed->checkSum},
                                  {parsed->checkSum + 4, parsed->securityEntry},
                                  {parsed->securityEntry + kDirectoryEntryBytes, parsed->sizeOfHeaders}};
    uint64_t hashedUpTo = parsed->sizeOfHeaders;
    for (const FileRange& section : parsed->sections) {
        if (section.begin != hashedUpTo || section.end > tableStart)
            return std::nullopt;
        ranges.push_back(section);
        hashedUpTo = section.end;
    }
    if (hashedUpTo > tableStart)
        return std::nullopt;
    if (hashedUpTo < tableStart)
        ranges.push_back(FileRange{hashedUpTo, tableStart});
    return ranges;
}

} // namespace Tessit
