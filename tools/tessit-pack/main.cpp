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

int build(const PackOptions& options)
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
        if (*commandLine.build)
            return build(options);
        if (*commandLine.list)
            return listPackage(pathFromUtf8(options.file));
        if (*commandLine.verify)
            return verifyPackage(pathFromUtf8(options.file));
        return extractPackage(pathFromUtf8(options.file), pathFromUtf8(options.folder));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tessit-pack: error: %s\n", terminalText(error.what()).c_str());
        return 1;
    }
}
