#ifndef TESSIT_TOOLS_PACKAGEWRITER_H
#define TESSIT_TOOLS_PACKAGEWRITER_H

#include "EntrySources.h"
#include "LauncherImage.h"
#include "package/Package.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace Tessit {

// Writes launcher image, header, data and footer into a temporary file
// beside `output`, forces it to disk, reads it back, marks it runnable and
// renames it into place. Nothing is left behind on failure.
void writePackage(const LauncherImage& launcher, int32_t oemId, const std::vector<PackEntry>& entries,
                  const std::filesystem::path& output);

// The most a Windows launcher with its package may hold: the signer appends
// its table at a 32-bit offset, 8-byte aligned, and the package's own
// offsets are 32-bit.
constexpr uint64_t kLargestWindowsPackage = 0xFFFFFFF8u;

// Refuses to write `output` when it is the launcher or an entry's file (the
// same file, however named), when its folder does not exist, or when a
// Windows launcher with the package would pass kLargestWindowsPackage.
void checkOutput(const LauncherImage& launcher, const std::vector<PackEntry>& entries,
                 const std::filesystem::path& output);

// Refuses `file` unless the launcher's own locator finds in it exactly the
// header `written` at `headerOffset`: a launcher that found anything else
// would write and run something other than what was packed.
void confirmReadsBack(const std::filesystem::path& file, uint32_t headerOffset, const PackageHeader& written);

} // namespace Tessit

#endif
