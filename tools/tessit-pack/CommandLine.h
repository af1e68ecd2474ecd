#ifndef TESSIT_TOOLS_COMMANDLINE_H
#define TESSIT_TOOLS_COMMANDLINE_H

#include <CLI/CLI.hpp>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Tessit {

// What the command line asks for.
struct PackOptions {
    std::string launcher;
    std::string target;
    std::string output;
    int32_t oemId = 0;
    bool stripSignature = false;
    bool replacePackage = false;
    bool dereference = false;
    std::vector<std::string> items;
    std::string file;
    std::string folder;
};

// tessit-pack's command line: its commands, their options and the help they
// print. The manual page and the shell completion are made from it too, so
// they say what the help says.
class CommandLine {
public:
    // `program` is the tessit-pack the help is for: --target's help names
    // where it looks for the launchers (relative to the folder tessit-pack
    // runs from when `program` has no folder).
    explicit CommandLine(const std::filesystem::path& program);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    PackOptions options;
    CLI::App app;
    CLI::App* build;
    CLI::App* list;
    CLI::App* verify;
    CLI::App* extract;
};

// "tessit-pack" and its version, as --version prints it.
std::string packerVersion();

} // namespace Tessit

#endif
