#ifndef TESSIT_TOOLS_TOOLPLATFORM_H
#define TESSIT_TOOLS_TOOLPLATFORM_H

#include "platform/PackagePlatform.h"

#include <memory>

namespace Tessit {

// The machine's package operations without trace lines.
class ToolPlatform : public PackagePlatform {
public:
    ToolPlatform();

    std::optional<FoundFile> findFile(const KxString& path) override;
    std::unique_ptr<FileView> viewFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;

private:
    std::unique_ptr<PackagePlatform> m_native;
};

} // namespace Tessit

#endif
