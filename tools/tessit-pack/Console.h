#ifndef TESSIT_TOOLS_CONSOLE_H
#define TESSIT_TOOLS_CONSOLE_H

#include <string>
#include <vector>

namespace Tessit {

// The command line as UTF-8, program name first.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Whether standard error shows on a terminal, where progress is drawn.
bool standardErrorIsTerminal();

} // namespace Tessit

#endif
