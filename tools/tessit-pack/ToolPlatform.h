#ifndef TESSIT_TOOLS_TOOLPLATFORM_H
#define TESSIT_TOOLS_TOOLPLATFORM_H

#include "platform/PackagePlatform.h"

#include <memory>

namespace Tessit {

// The machine's package operations with the target folder the packer
// chose in place of the user's temporary folder, and no trace lines.
class ToolPlatform : public PackagePlatform {
public:
    explicit ToolPlatform(KxString targetFolder);

    std::optional<FoundFile> findFile(const KxString& path) override;
    std::unique_ptr<FileView> viewFile(const KxString& path) override;
    KxString tempFolder() override;
    void debugOutput(const KxString& text) override;

private:
    std::unique_ptr<PackagePlatform> m_native;
    KxString m_targetFolder;
};

} // namespace Tessit

#endif
