#ifndef TESSIT_TOOLS_CONSOLE_H
#define TESSIT_TOOLS_CONSOLE_H

#include <string>
#include <vector>

namespace Tessit {

// Limits where the process loads libraries from, first thing in main: on
// Windows the system folder only, as the program may run from a folder
// others write to (a downloads folder).
void limitLibrarySearch();

// The command line as UTF-8, program name first.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Whether standard error shows on a terminal, where progress is drawn.
bool standardErrorIsTerminal();

} // namespace Tessit

#endif
