#ifndef TESSIT_TOOLS_PACKAGECOMMANDS_H
#define TESSIT_TOOLS_PACKAGECOMMANDS_H

#include "package/Package.h"

#include <filesystem>
#include <string>
#include <vector>

namespace Tessit {

// Each runs the launcher's own locator on `file`, prints what it found on
// standard output and gives the exit code.

// OEM number, entries, certificate table, padding and, for a signed file,
// its digest algorithm, whether its signature holds, its signer and issuer;
// with `json`, all of that, verify's verdict and its findings as one JSON
// object.
int listPackage(const std::filesystem::path& file, bool json = false);

// 0 only for a package whose parts add up, whose footer is the only place
// one fits, whose names are all safe and, when it is signed, whose
// signature holds as the launcher checks it (its signer and issuer shown);
// with `strict`, only for one that is worth no warning either. With `json`
// the verdict is the JSON object list gives.
int verifyPackage(const std::filesystem::path& file, bool json = false, bool strict = false);

// Writes the entries below `folder` by the launcher's rules (nothing from a
// signed file whose signature does not hold), running nothing, with the
// modes a user's tools give files and folders, and lists the files written
// (with `log`, after the launcher's log lines); 0 when every entry the
// launcher would write was written.
int extractPackage(const std::filesystem::path& file, const std::filesystem::path& folder, bool log = false);

} // namespace Tessit

#endif
