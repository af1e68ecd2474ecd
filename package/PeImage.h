#ifndef TESSIT_PACKAGE_PEIMAGE_H
#define TESSIT_PACKAGE_PEIMAGE_H

#include <cstdint>
#include <optional>

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

} // namespace Tessit

#endif
