// Writes tessit-pack's manual page and bash completion for the tessit-pack
// installed as PROGRAM, made from its command line, so that they say what
// its help says.
// Usage: tessit-pack-manual PROGRAM PAGE COMPLETION
#include "BashCompletion.h"
#include "CommandLine.h"
#include "ManualPage.h"
#include "PathText.h"
#include "TargetLaunchers.h"

#include <cstdio>
#include <fstream>

using namespace Tessit;

namespace {

// Where build --target finds each launcher, installed and relative to the
// folder tessit-pack runs from.
std::string filesSection(const std::filesystem::path& program)
{
    std::string roff = ".SH FILES\n";
    for (const std::string& target : targetNames()) {
        roff += ".TP\n" + roffText(utf8Of(targetLauncherPath(target, program))) + "\nThe " + roffText(target) +
                " launcher \\fBbuild \\-\\-target " + roffText(target) + "\\fR packs onto: " +
                roffText(utf8Of(targetLauncherPath(target, "tessit-pack"))) +
                " from the folder tessit\\-pack runs from.\n";
    }
    return roff;
}

bool write(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "tessit-pack-manual: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: tessit-pack-manual PROGRAM PAGE COMPLETION\n");
        return 2;
    }
    const std::filesystem::path program = argv[1];
    const CommandLine commandLine(program);
    const std::string page =
        manualPage(commandLine.app, packerVersion(), filesSection(program) + ".SH \"SEE ALSO\"\n.BR tessit (7)\n");
    const std::string completion = bashCompletion(commandLine.app, {{"TARGET", targetNames()}});
    return write(argv[2], page) && write(argv[3], completion) ? 0 : 1;
}
