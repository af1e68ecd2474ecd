#include "Runnable.h"

namespace Tessit {

// Windows starts a file by its name, and every user may read what the
// folder lets them read: there is no mode to set.
void markRunnable(const std::filesystem::path&) {}

} // namespace Tessit
