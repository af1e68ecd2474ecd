#include "Console.h"

#include <unistd.h>

namespace Tessit {

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

} // namespace Tessit
