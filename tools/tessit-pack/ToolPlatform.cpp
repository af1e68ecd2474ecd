#include "tools/tessit-pack/ToolPlatform.h"

namespace Tessit {

ToolPlatform::ToolPlatform(KxString targetFolder)
    : m_native(createNativePackagePlatform()), m_targetFolder(std::move(targetFolder))
{
}

std::optional<FoundFile> ToolPlatform::findFile(const KxString& path) { return m_native->findFile(path); }

std::unique_ptr<FileView> ToolPlatform::viewFile(const KxString& path) { return m_native->viewFile(path); }

KxString ToolPlatform::tempFolder() { return m_targetFolder; }

void ToolPlatform::debugOutput(const KxString&) {}

} // namespace Tessit
