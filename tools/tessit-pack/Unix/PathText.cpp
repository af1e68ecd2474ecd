#include "PathText.h"

#include "KxFoundation/Unix/KxNativePath.h"

namespace Tessit {

Kavo::KxString fileText(const std::filesystem::path& path) { return Kavo::pathFromNative(path.native()); }

} // namespace Tessit
