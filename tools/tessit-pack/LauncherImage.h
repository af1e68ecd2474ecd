#ifndef TESSIT_TOOLS_LAUNCHERIMAGE_H
#define TESSIT_TOOLS_LAUNCHERIMAGE_H

#include "package/EntryName.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace Tessit {

// The part of a launcher file that goes in front of a new package.
struct LauncherImage {
    std::filesystem::path path;
    uint64_t end = 0;                            // the new header offset
    std::optional<uint64_t> clearedDirectoryAt;  // security directory entry to zero
    NameRules rules = NameRules::Windows;        // how the launcher reads entry names

    // Zeroes what of the security directory entry lies among `count` bytes
    // copied from `offset` of the image, so that the copy names no
    // certificate table.
    void clearSignatureEntry(uint8_t* bytes, uint64_t offset, uint64_t count) const;
};

// Refuses a file that is neither a PE nor an ELF image, whose image would put the header past
// 4 GiB, that is signed (unless `stripSignature`: the table is cut off and
// the directory cleared) or that already carries a package (unless
// `replacePackage`: the old package is cut off).
LauncherImage prepareLauncher(const std::filesystem::path& launcher, bool stripSignature, bool replacePackage);

} // namespace Tessit

#endif
