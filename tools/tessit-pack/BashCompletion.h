#ifndef TESSIT_TOOLS_BASHCOMPLETION_H
#define TESSIT_TOOLS_BASHCOMPLETION_H

#include <CLI/CLI.hpp>

#include <map>
#include <string>
#include <vector>

namespace Tessit {

// A bash completion script (for bash-completion's completions folder) for
// the program `app` describes and its commands: it completes the command
// names, each command's options, and an option's value by the name of its
// type: from `values` where that names it, a folder for DIR, nothing for a
// number, a file otherwise; and a command's positionals as files.
std::string bashCompletion(const CLI::App& app, const std::map<std::string, std::vector<std::string>>& values);

} // namespace Tessit

#endif
