#ifndef TESSIT_TOOLS_INSPECTION_H
#define TESSIT_TOOLS_INSPECTION_H

#include "package/Package.h"

#include <filesystem>
#include <string>
#include <vector>

namespace Tessit {

// Each runs the launcher's own locator on `file`, prints what it found on
// standard output and gives the exit code.

// OEM number, entries, certificate table and padding.
int listPackage(const std::filesystem::path& file);

// 0 only for a package whose parts add up, whose footer is the only place
// one fits, whose certificate table (if any) ends the file and whose names
// are all safe.
int verifyPackage(const std::filesystem::path& file);

// What is wrong around a package the locator found, though the launcher
// itself does not look for it: a certificate table followed by more bytes,
// or a footer that fits in more than one place.
std::vector<std::string> layoutProblems(const PackageLocation& location);

// Writes the entries below `folder` by the launcher's rules, running
// nothing; 0 when every entry the launcher would write was written.
int extractPackage(const std::filesystem::path& file, const std::filesystem::path& folder);

} // namespace Tessit

#endif
