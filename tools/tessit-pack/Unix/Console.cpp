#include "Console.h"

#include <unistd.h>

namespace Tessit {

// The dynamic linker searches the system's folders and the program's own
// paths only, never the current folder: nothing to limit.
void limitLibrarySearch() {}

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

} // namespace Tessit
