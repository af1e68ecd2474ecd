#ifndef TESSIT_PACKAGE_PACKAGEPLATFORM_H
#define TESSIT_PACKAGE_PACKAGEPLATFORM_H

#include "KxFoundation/KxString.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace Tessit {

using Kavo::KxString;

struct FoundFile {
    KxString fullPath;
    uint64_t length;
};

// A read-only look at the first bytes of a file (at least its headers).
class FileView {
public:
    virtual ~FileView() = default;
    virtual const uint8_t* data() const = 0;
    virtual uint64_t size() const = 0;
};

// What locating and extracting a package needs of the operating system;
// platform/ implements it for each system.
class PackagePlatform {
public:
    virtual ~PackagePlatform() = default;

    // The file at `path` as file-find sees it; nothing when it is not found.
    virtual std::optional<FoundFile> findFile(const KxString& path) = 0;
    // A read-only view of the file's headers; null when it cannot be opened.
    virtual std::unique_ptr<FileView> viewFile(const KxString& path) = 0;
    // One trace line for the debugger, exactly as given.
    virtual void debugOutput(const KxString& text) = 0;
};

} // namespace Tessit

#endif
