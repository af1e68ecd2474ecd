#include "CommandLine.h"

#include "PathText.h"
#include "TargetLaunchers.h"

#include <limits>

namespace Tessit {

namespace {

// Where each target's launcher is looked up, as `program` finds it.
std::string targetHelp(const std::filesystem::path& program)
{
    std::string places;
    const std::vector<std::string> names = targetNames();
    for (size_t index = 0; index < names.size(); ++index) {
        if (index > 0)
            places += index + 1 == names.size() ? " or " : ", ";
        places += utf8Of(targetLauncherPath(names[index], program)) + " (" + names[index] + ")";
    }
    return "The release launcher of TARGET installed with tessit-pack: " + places +
           (program.has_parent_path() ? "" : ", from the folder tessit-pack runs from");
}

constexpr const char* kCommands[] = {"build", "list", "verify", "extract"};

const char* const kExitCodes = "Exit codes:\n"
                               "  0  done: the package was written, listed or extracted whole, or verify found it sound\n"
                               "  1  it was not: an input or the package is at fault (with --strict, a warning too), or "
                               "writing failed\n"
                               "  2  the command line is wrong: an unknown command or option, or a value out of range";

} // namespace

std::string packerVersion() { return std::string("tessit-pack ") + TESSIT_VERSION; }

std::string CommandLine::commandNames()
{
    std::string names;
    for (const char* command : kCommands)
        names += std::string(names.empty() ? "" : ", ") + command;
    return names;
}

std::string CommandLine::unknownCommand(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (!argument.empty() && argument[0] == '-')
            continue;
        for (const char* command : kCommands)
            if (argument == command)
                return std::string();
        return argument;
    }
    return std::string();
}

CommandLine::CommandLine(const std::filesystem::path& program)
    : app("Packs files into a Tessit launcher, and lists, verifies and extracts such packages.", "tessit-pack")
{
    app.set_version_flag("--version", packerVersion());
    app.require_subcommand(1);
    app.footer(kExitCodes);

    build = app.add_subcommand("build", "Write LAUNCHER followed by a package of ITEMs to OUTPUT.");
    CLI::Option_group* launcherChoice =
        build->add_option_group("LAUNCHER", "The launcher to pack onto: exactly one of these");
    launcherChoice->add_option("-l,--launcher", options.launcher, "The launcher executable")->type_name("LAUNCHER");
    launcherChoice->add_option("--target", options.target, targetHelp(program))
        ->type_name("TARGET")
        ->check(CLI::IsMember(targetNames()));
    launcherChoice->require_option(1);
    build->add_option("-o,--output", options.output, "The file to write; replaced atomically")
        ->type_name("OUTPUT")
        ->required();
    build->add_option("--oem", options.oemId, "The package's OEM number, 0 to 2147483647 (default 0; the launcher reads -1 as none)")
        ->check(CLI::Range(0, std::numeric_limits<int32_t>::max()).description(""));
    build->add_flag("--strip-signature", options.stripSignature,
                    "Remove the launcher's certificate table instead of refusing a signed launcher");
    build->add_flag("--replace", options.replacePackage,
                    "Replace a package the launcher already carries instead of refusing it");
    build->add_flag("--dereference", options.dereference,
                    "Pack what links inside a folder ITEM lead to instead of refusing them");
    build->add_flag("--strict", options.strict,
                    "Fail, writing nothing, where a warning is due (no main tool or no installer in the package)");
    build
        ->add_option("ITEM", options.items,
                     "A file (packed under its name), a folder (every file below it, named relative to it), "
                     "or NAME=PATH")
        ->required();

    list = app.add_subcommand("list", "Show the package the launcher in FILE would find.");
    list->add_option("FILE", options.file, "A packed launcher")->required();
    list->add_flag("--json", options.json, "Print one JSON object instead");

    verify =
        app.add_subcommand("verify", "Exit 0 only for a consistent package with safe names; tell if FILE is signed.");
    verify->add_option("FILE", options.file, "A packed launcher")->required();
    verify->add_flag("--json", options.json, "Print one JSON object instead");
    verify->add_flag("--strict", options.strict, "Fail where a warning is due as well");

    extract = app.add_subcommand("extract",
                                 "Write the entries of FILE below DIR, running nothing, and list the files written.");
    extract->add_option("FILE", options.file, "A packed launcher")->required();
    extract->add_option("-C,--directory", options.folder, "The folder to write into")->type_name("DIR")->required();
    extract->add_flag("--log", options.log, "Print the launcher's log lines of the extraction as well");
}

} // namespace Tessit
