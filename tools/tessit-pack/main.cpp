#include "Console.h"
#include "EntrySources.h"
#include "PackageCommands.h"
#include "PackageWriter.h"
#include "PackError.h"
#include "PathText.h"
#include "TargetLaunchers.h"
#include "TerminalText.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>

using namespace Tessit;

namespace {

struct Options {
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

int build(const Options& options)
{
    const std::vector<PackEntry> entries = collectEntries(options.items, options.dereference);
    const std::filesystem::path launcherPath = options.target.empty()
                                                   ? pathFromUtf8(options.launcher)
                                                   : targetLauncher(options.target, runningProgram());
    const LauncherImage launcher = prepareLauncher(launcherPath, options.stripSignature, options.replacePackage);
    checkEntries(entries, launcher.rules);
    writePackage(launcher, options.oemId, entries, pathFromUtf8(options.output));
    return 0;
}

// Where the launchers are looked up, as the running program finds them.
std::string targetHelp()
{
    std::string names;
    for (const std::string& name : targetNames())
        names += (names.empty() ? "" : ", ") + name;
    std::string folder = "../share/tessit beside the folder tessit-pack runs from";
    try {
        folder = utf8Of(targetLaunchersFolder(runningProgram()));
    } catch (const std::exception&) {
        // Named relative to the program then; --target says what it looked at.
    }
    return "The release launcher of NAME (" + names + ") installed with tessit-pack, looked up in " + folder +
           "/NAME/ (Tessit.exe, or tessit for linux-x86_64)";
}

} // namespace

int main(int argc, char** argv)
{
    limitLibrarySearch();
    CLI::App app("Packs files into a Tessit launcher, and lists, verifies and extracts such packages.",
                 "tessit-pack");
    app.set_version_flag("--version", std::string("tessit-pack ") + TESSIT_VERSION);
    app.require_subcommand(1);
    Options options;

    CLI::App* buildCommand = app.add_subcommand("build", "Write LAUNCHER followed by a package of ITEMs to OUTPUT.");
    CLI::Option_group* launcherChoice =
        buildCommand->add_option_group("LAUNCHER", "The launcher to pack onto: exactly one of these");
    launcherChoice->add_option("-l,--launcher", options.launcher, "The launcher executable");
    launcherChoice->add_option("--target", options.target, targetHelp())->check(CLI::IsMember(targetNames()));
    launcherChoice->require_option(1);
    buildCommand->add_option("-o,--output", options.output, "The file to write; replaced atomically")->required();
    buildCommand->add_option("--oem", options.oemId, "The package's OEM number (default 0)");
    buildCommand->add_flag("--strip-signature", options.stripSignature,
                           "Remove the launcher's certificate table instead of refusing a signed launcher");
    buildCommand->add_flag("--replace", options.replacePackage,
                           "Replace a package the launcher already carries instead of refusing it");
    buildCommand->add_flag("--dereference", options.dereference,
                           "Pack what links inside a folder ITEM lead to instead of refusing them");
    buildCommand
        ->add_option("ITEM", options.items,
                     "A file (packed under its name), a folder (every file below it, named relative to it), "
                     "or NAME=PATH")
        ->required();

    CLI::App* listCommand = app.add_subcommand("list", "Show the package the launcher in FILE would find.");
    listCommand->add_option("FILE", options.file, "A packed launcher")->required();

    CLI::App* verifyCommand =
        app.add_subcommand("verify", "Exit 0 only for a consistent package with safe names; tell if FILE is signed.");
    verifyCommand->add_option("FILE", options.file, "A packed launcher")->required();

    CLI::App* extractCommand = app.add_subcommand("extract", "Write the entries of FILE below DIR, running nothing.");
    extractCommand->add_option("FILE", options.file, "A packed launcher")->required();
    extractCommand->add_option("-C,--directory", options.folder, "The folder to write into")->required();

    try {
        // The arguments as UTF-8 (Windows hands argv over in its ANSI code
        // page), without the program's name. CLI11 takes such a list last
        // argument first, as it consumes it from the back.
        std::vector<std::string> arguments = utf8Arguments(argc, argv);
        arguments.erase(arguments.begin());
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error);
        std::fprintf(stderr, "tessit-pack: error: %s\n", terminalText(error.what()).c_str());
        return error.get_exit_code();
    }

    try {
        if (*buildCommand)
            return build(options);
        if (*listCommand)
            return listPackage(pathFromUtf8(options.file));
        if (*verifyCommand)
            return verifyPackage(pathFromUtf8(options.file));
        return extractPackage(pathFromUtf8(options.file), pathFromUtf8(options.folder));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tessit-pack: error: %s\n", terminalText(error.what()).c_str());
        return 1;
    }
}
