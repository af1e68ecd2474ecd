#include "tools/tessit-pack/ToolPlatform.h"

namespace Tessit {

ToolPlatform::ToolPlatform() : m_native(createNativePackagePlatform()) {}

std::optional<FoundFile> ToolPlatform::findFile(const KxString& path) { return m_native->findFile(path); }

std::unique_ptr<FileView> ToolPlatform::viewFile(const KxString& path) { return m_native->viewFile(path); }

void ToolPlatform::debugOutput(const KxString&) {}

} // namespace Tessit
