#include "TargetLaunchers.h"

namespace Tessit {

// The kernel's link names the file itself, with every link on its way
// resolved, whatever name the program was started by.
std::filesystem::path runningProgram() { return std::filesystem::read_symlink("/proc/self/exe"); }

} // namespace Tessit
