#ifndef TESSIT_TOOLS_RUNNABLE_H
#define TESSIT_TOOLS_RUNNABLE_H

#include <filesystem>

namespace Tessit {

// Gives a packed launcher the mode a linker gives its output, so that every
// user who may start it can also read it: the launcher reads its own file.
void markRunnable(const std::filesystem::path& file);

} // namespace Tessit

#endif
