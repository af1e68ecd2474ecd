#ifndef TESSIT_PLATFORM_UNIX_POSIXPACKAGEPLATFORM_H
#define TESSIT_PLATFORM_UNIX_POSIXPACKAGEPLATFORM_H

#include "platform/PackagePlatform.h"

namespace Tessit {

// The package operations on a POSIX system: file-find is a status query, the
// headers are read into memory and trace lines go to the file named by
// TESSIT_TRACE.
class PosixPackagePlatform : public PackagePlatform {
public:
    std::optional<FoundFile> findFile(const KxString& path) override;
    std::unique_ptr<FileView> viewFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;
};

} // namespace Tessit

#endif
