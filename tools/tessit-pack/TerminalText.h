#ifndef TESSIT_TOOLS_TERMINALTEXT_H
#define TESSIT_TOOLS_TERMINALTEXT_H

#include <string>

namespace Tessit {

// UTF-8 text as the terminal may be given it: every character that would
// act on the terminal or reorder the line escaped as printableEntryName
// escapes it, and every byte that is no part of UTF-8 as \xNN. File names
// reach the packer's messages unchecked.
std::string terminalText(const std::string& utf8);

// The same for text of several lines, each line feed kept.
std::string terminalLines(const std::string& utf8);

} // namespace Tessit

#endif
