#ifndef TESSIT_PACKAGE_PACKAGEPLATFORM_H
#define TESSIT_PACKAGE_PACKAGEPLATFORM_H

#include "KxFoundation/KxString.h"

#include <cstdint>
#include <optional>

namespace Tessit {

using Kavo::KxString;

// A file found; its length is the open file's, measured once it is open.
struct FoundFile {
    KxString fullPath;
    // The running program's own file: it is read as the image that runs
    // (KxFile::openRunningImage), never again by its path.
    bool runningImage = false;
};

// What locating and extracting a package needs of the operating system;
// platform/ implements it for each system.
class PackagePlatform {
public:
    virtual ~PackagePlatform() = default;

    // The file at `path` as file-find sees it; nothing when it is not found.
    virtual std::optional<FoundFile> findFile(const KxString& path) = 0;
    // One trace line for the debugger, exactly as given.
    virtual void debugOutput(const KxString& text) = 0;
};

} // namespace Tessit

#endif
