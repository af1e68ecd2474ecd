#include "CommandLine.h"
#include "Console.h"
#include "EntrySources.h"
#include "PackageCommands.h"
#include "PackageWriter.h"
#include "PackError.h"
#include "PathText.h"
#include "TargetLaunchers.h"
#include "TerminalText.h"

#include <algorithm>
#include <cstdio>
#include <exception>

using namespace Tessit;

namespace {

// What the package lacks is said before anything is written; with
// --strict it fails the build.
int build(const PackOptions& options)
{
    const std::vector<PackEntry> entries = collectEntries(options.items, options.dereference);
    const std::filesystem::path launcherPath = options.target.empty()
                                                   ? pathFromUtf8(options.launcher)
                                                   : targetLauncher(options.target, runningProgram());
    const LauncherImage launcher = prepareLauncher(launcherPath, options.stripSignature, options.replacePackage);
    checkEntries(entries, launcher.rules);
    const std::filesystem::path output = pathFromUtf8(options.output);
    checkOutput(launcher, entries, output);
    std::vector<Kavo::KxString> names;
    for (const PackEntry& entry : entries)
        names.push_back(entry.name);
    const std::vector<std::string> warnings = missingPrograms(names, launcher.rules);
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "tessit-pack: %s: %s\n", options.strict ? "error" : "warning", terminalText(warning).c_str());
    if (options.strict && !warnings.empty())
        return kExitFailed;
    writePackage(launcher, options.oemId, entries, output);
    return kExitDone;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "tessit-pack: error: %s\n", terminalText(message).c_str());
    return kExitUsage;
}

// The program the help is for: the running one, or where the system cannot
// tell, one named without a folder, so the help names the launchers'
// places relative to it.
std::filesystem::path helpProgram()
{
    try {
        return runningProgram();
    } catch (const std::exception&) {
        return "tessit-pack";
    }
}

} // namespace

int main(int argc, char** argv)
{
    limitLibrarySearch();
    CommandLine commandLine(helpProgram());
    CLI::App& app = commandLine.app;
    const PackOptions& options = commandLine.options;

    // The arguments as UTF-8 (Windows hands argv over in its ANSI code
    // page), without the program's name.
    std::vector<std::string> arguments = utf8Arguments(argc, argv);
    arguments.erase(arguments.begin());
    const std::string unknown = CommandLine::unknownCommand(arguments);
    if (!unknown.empty())
        return usageError("unknown command '" + unknown + "'; the commands are " + CommandLine::commandNames());
    try {
        // CLI11 takes such a list last argument first, as it consumes it
        // from the back.
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error);
        return usageError(error.what());
    }

    try {
        if (*commandLine.build)
            return build(options);
        if (*commandLine.list)
            return listPackage(pathFromUtf8(options.file), options.json);
        if (*commandLine.verify)
            return verifyPackage(pathFromUtf8(options.file), options.json, options.strict);
        return extractPackage(pathFromUtf8(options.file), pathFromUtf8(options.folder), options.log);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tessit-pack: error: %s\n", terminalText(error.what()).c_str());
        return kExitFailed;
    }
}
