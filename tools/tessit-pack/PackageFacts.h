#ifndef TESSIT_TOOLS_PACKAGEFACTS_H
#define TESSIT_TOOLS_PACKAGEFACTS_H

#include "package/EntryName.h"
#include "package/PackageExtraction.h"
#include "package/SignatureCheck.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Tessit {

// Something `verify` tells of a package: a fault fails it, a warning does
// not.
struct Finding {
    bool fault;
    std::string text;
};

// What a packed launcher holds, as the launcher reads it, and what is wrong
// with it or worth a warning: all that `list` and `verify` show, gathered
// before anything is shown.
struct PackageFacts {
    PackageHeader header;
    PackageLocation location;
    NameRules rules = NameRules::Windows;  // the launcher's, by its kind of file
    std::optional<SignatureCheck> signature; // for a signed file, checked as the launcher checks it
    // Per entry, why the launcher never writes it; empty for one it writes.
    std::vector<std::string> notWritten;
    // Per entry, where its bytes start in the file; nothing for one named
    // like the launcher whose bytes are stored nowhere.
    std::vector<std::optional<uint64_t>> offsets;
    std::vector<Finding> findings; // in the order verify shows them

    // Whether a finding fails verify: a fault, or with `strict` any finding.
    bool faulty(bool strict = false) const;
};

// Opens `file` as the launcher opens it, checks a signed file's signature as
// the launcher checks it and judges every entry by the launcher's rules; a
// PackError when the package does not open.
PackageFacts examinePackage(const std::filesystem::path& file);

// What is wrong around a package the locator found, though the launcher
// itself does not look for it: a certificate table followed by more bytes,
// or a footer that fits in more than one place.
std::vector<std::string> layoutProblems(const PackageLocation& location);

// In words: why a signed file's signature does not vouch for it, or that it
// holds.
std::string explanation(const SignatureCheck& check);

// What `extract` did: each entry's outcome and where the written ones went
// below the folder, and the launcher's log of it.
struct ExtractionFacts {
    std::vector<EntryOutcome> outcomes;
    std::vector<KxString> writtenPaths; // per entry, empty for one not written
    KxString log;
};

// Writes the entries of `file` below `folder` as the launcher does, running
// nothing, a signed file's signature checked as it is read; a PackError when
// the package does not open or its signature does not hold (nothing is
// then written).
ExtractionFacts extractEntries(const std::filesystem::path& file, const std::filesystem::path& folder);

// The package of `file`, opened as the launcher opens it; a PackError when
// it does not open.
class OpenedPackage {
public:
    explicit OpenedPackage(const std::filesystem::path& file);

    Package& package() { return m_package; }
    // The lines the launcher would log.
    KxString log;

private:
    std::unique_ptr<PackagePlatform> m_platform;
    Package m_package;
};

} // namespace Tessit

#endif
