#ifndef TESSIT_PACKAGE_PEIMAGE_H
#define TESSIT_PACKAGE_PEIMAGE_H

#include <cstdint>
#include <optional>
#include <vector>

namespace Tessit {

// Data directory entry 4 of a PE image: where its certificate table lies.
struct SecurityDirectory {
    uint64_t entryOffset = 0; // file offset of the directory entry itself
    uint32_t tableOffset = 0;
    uint32_t tableSize = 0;

    bool isSigned() const { return tableOffset != 0 && tableSize != 0; }
};

// Reads the security directory from the first `size` bytes of a file: PE32+
// images (optional-header magic 0x20B) keep it at optional-header offset
// 144, all others at 128. Nothing when there is no 'MZ' header, no PE
// signature, or the entry lies beyond the bytes given.
std::optional<SecurityDirectory> readSecurityDirectory(const uint8_t* bytes, uint64_t size);

// Bytes [begin, end) of a file.
struct FileRange {
    uint64_t begin = 0;
    uint64_t end = 0;
};

// The parts of a signed PE file its Authenticode digest covers, in file
// order: the headers without the checksum field and the security directory
// entry, the raw data of every section in the order of their file offsets,
// and whatever follows the sections up to the certificate table of
// `certificateSize` bytes at the end of the file. `headers` holds the
// file's first `available` bytes. Nothing when those do not hold every
// header, or when sections overlap, leave gaps or reach into the table:
// such a file cannot be hashed in one pass in file order as Authenticode
// defines it.
std::optional<std::vector<FileRange>> authenticodeRanges(const uint8_t* headers, uint64_t available,
                                                         uint64_t fileLength, uint32_t certificateSize);

} // namespace Tessit

#endif
