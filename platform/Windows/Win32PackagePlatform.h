#ifndef TESSIT_PLATFORM_WINDOWS_WIN32PACKAGEPLATFORM_H
#define TESSIT_PLATFORM_WINDOWS_WIN32PACKAGEPLATFORM_H

#include "platform/PackagePlatform.h"

namespace Tessit {

// The package operations on Windows: file-find, a read-only mapping of the
// file's headers and OutputDebugStringW.
class Win32PackagePlatform : public PackagePlatform {
public:
    std::optional<FoundFile> findFile(const KxString& path) override;
    std::unique_ptr<FileView> viewFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;
};

} // namespace Tessit

#endif
