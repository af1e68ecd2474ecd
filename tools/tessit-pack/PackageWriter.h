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

// Refuses `file` unless the launcher's own locator finds in it exactly the
// header `written` at `headerOffset`: a launcher that found anything else
// would write and run something other than what was packed.
void confirmReadsBack(const std::filesystem::path& file, uint32_t headerOffset, const PackageHeader& written);

} // namespace Tessit

#endif
