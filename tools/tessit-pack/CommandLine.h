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
    bool strict = false; // a warning fails the command
    bool json = false;   // list and verify print one JSON object
    bool log = false;    // extract also prints the launcher's log lines
};

// What tessit-pack exits with.
enum PackExitCode {
    kExitDone = 0,
    kExitFailed = 1,    // the work failed, or the package is at fault
    kExitUsage = 2,     // the command line asks for nothing tessit-pack does
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

    // The first argument that should name a command and names none; empty
    // when the command is known or there is none to name.
    static std::string unknownCommand(const std::vector<std::string>& arguments);
    // The commands, for saying which there are.
    static std::string commandNames();
};

// "tessit-pack" and its version, as --version prints it.
std::string packerVersion();

} // namespace Tessit

#endif
