#ifndef TESSIT_TOOLS_MANUALPAGE_H
#define TESSIT_TOOLS_MANUALPAGE_H

#include <CLI/CLI.hpp>

#include <string>

namespace Tessit {

// A manual page (man(7) macros) for the program `app` describes, saying
// what its help says with the pieces its formatter prints: the NAME line
// and DESCRIPTION from its description, the SYNOPSIS from each command's
// usage line, its OPTIONS, and under COMMANDS each command's description,
// usage, options and footer. `version` heads the page ("tessit-pack 1.0.0");
// `moreSections` (roff text) follows as it is.
std::string manualPage(const CLI::App& app, const std::string& version, const std::string& moreSections);

// Plain text as roff text that prints it unchanged: backslashes and
// hyphens escaped, a line starting with a control character made text,
// and each line break kept.
std::string roffText(const std::string& text);

} // namespace Tessit

#endif
