#include "PathText.h"

namespace Tessit {

// The wide calls take the text unchanged.
Kavo::KxString fileText(const std::filesystem::path& path) { return textOf(path); }

} // namespace Tessit
