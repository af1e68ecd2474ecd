#ifndef TESSIT_TOOLS_LOCATEPACKAGE_H
#define TESSIT_TOOLS_LOCATEPACKAGE_H

#include "package/Package.h"

#include <filesystem>

namespace Tessit {

// The package the launcher's own locator finds in `file`, its header read
// into `header`; the file is closed again and the log dropped.
OpenResult locatePackage(const std::filesystem::path& file, PackageHeader& header);

} // namespace Tessit

#endif
