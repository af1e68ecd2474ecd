#ifndef TESSIT_TOOLS_PACKAGEWRITER_H
#define TESSIT_TOOLS_PACKAGEWRITER_H

#include "package/Package.h"
#include "tools/tessit-pack/EntrySources.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace Tessit {

// The part of a launcher file that goes in front of a new package.
struct LauncherImage {
    std::filesystem::path path;
    uint64_t end = 0;                            // the new header offset
    std::optional<uint64_t> clearedDirectoryAt;  // security directory entry to zero
};

// Refuses a file that is neither a PE nor an ELF image, whose image would put the header past
// 4 GiB, that is signed (unless `stripSignature`: the table is cut off and
// the directory cleared) or that already carries a package (unless
// `replacePackage`: the old package is cut off).
LauncherImage prepareLauncher(const std::filesystem::path& launcher, bool stripSignature, bool replacePackage);

// Writes launcher image, header, data and footer into a temporary file
// beside `output`, forces it to disk, reads it back, marks it runnable and
// renames it into place. Nothing is left behind on failure.
void writePackage(const LauncherImage& launcher, int32_t oemId, const std::vector<PackEntry>& entries,
                  const std::filesystem::path& output);

// Refuses `file` unless the launcher's own locator finds in it exactly the
// header `written` at `headerOffset`: a launcher that found anything else
// would write and run something other than what was packed.
void confirmReadsBack(const std::filesystem::path& file, uint32_t headerOffset, const PackageHeader& written);

} // namespace Tessit

#endif
