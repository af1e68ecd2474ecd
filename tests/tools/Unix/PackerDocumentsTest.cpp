#include "KxTestFolder.h"

#include "BashCompletion.h"
#include "ManualPage.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace Tessit;

namespace {

// What `command` writes to its standard output.
std::string output(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return text;
    char buffer[4096];
    for (size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, count);
    pclose(pipe);
    return text;
}

struct Rendered {
    std::string text; // as man shows it, white space collapsed
    std::string warnings;
};

Rendered render(const std::string& page)
{
    Kavo::KxTestFolder folder;
    folder.writeFile(u"page.1", page);
    const std::string file = (folder.path() / "page.1").string();
    Rendered rendered;
    rendered.text = output("groff -man -Tutf8 -rHY=0 -rLL=10000n -P-c '" + file +
                           "' 2>/dev/null | col -b | tr -s '[:space:]' ' '");
    rendered.warnings = output("groff -man -ww -z '" + file + "' 2>&1");
    return rendered;
}

} // namespace

// Texts that roff would take for requests, escapes or other characters (a
// line starting with '.' or '\'', a backslash, a hyphen of an option) come
// out of the page as the help prints them, and the page formats without a
// warning.
TEST(ManualPage, ShowsTheHelpTextsAsTheyAre)
{
    CLI::App app(".dot first\n'quote first\nback\\slash and \\fB not bold", "tool");
    app.footer("Exit codes:\n  0 done\n  2 usage error");
    std::string value;
    bool flag = false;
    app.add_option("--some-option", value, ".hidden if taken for a request")->type_name("DIR");
    app.add_flag("-x,--cross-check", flag, "'also hidden, \\e not an escape");
    CLI::App* command = app.add_subcommand("run-it", "Runs it.\n.second line");
    command->add_option("FILE", value, "A file\\name")->required();
    command->footer(".footer");

    const Rendered rendered = render(manualPage(app, "tool 2.5", ".SH \"SEE ALSO\"\n.BR other (7)\n"));

    EXPECT_EQ(rendered.warnings, "");
    for (const char* text : {
             "tool - .dot first ",
             " .dot first 'quote first back\\slash and \\fB not bold ",
             " Exit codes: 0 done 2 usage error ",
             " --some-option DIR .hidden if taken for a request ",
             " -x,--cross-check 'also hidden, \\e not an escape ",
             " run-it Runs it. .second line ",
             " tool run-it [OPTIONS] FILE ",
             " FILE TEXT REQUIRED A file\\name ",
             " .footer ",
             " other(7) ",
             " tool 2.5 ",
         })
        EXPECT_NE(rendered.text.find(text), std::string::npos) << "'" << text << "' not in: " << rendered.text;
}

// A word after a program option that takes a value is that value, not the
// command; the command's own options, values and positionals complete as
// their types say. (tessit-pack's own options take no value; the
// completion test of the package checks the rest against its help.)
TEST(BashCompletion, TellsTheCommandFromTheValueOfAProgramOption)
{
    CLI::App app("A tool.", "some-tool");
    std::string text;
    int number = 0;
    app.add_option("--config", text, "A file")->type_name("FILE");
    CLI::App* run = app.add_subcommand("run", "Runs.");
    run->add_option("--level", number, "A number");
    run->add_option("--kind", text, "A kind")->type_name("KIND");
    run->add_option("-C", text, "A folder")->type_name("DIR");
    run->add_option("ITEM", text, "A file");

    Kavo::KxTestFolder folder;
    folder.writeFile(u"completion", bashCompletion(app, {{"KIND", {"plain", "fancy"}}}));
    std::filesystem::create_directories(folder.at(u"files/rundir"));
    folder.writeFile(u"files/run.txt", "");
    folder.writeFile(u"offered",
                     ". /usr/share/bash-completion/bash_completion\n"
                     ". \"$1\"\n"
                     "cd \"$2\"\n"
                     "offered() {\n"
                     "    local COMP_WORDS=(\"$@\") COMP_CWORD=$(($# - 1)) COMP_LINE=\"$*\" COMP_POINT COMPREPLY=()\n"
                     "    COMP_POINT=${#COMP_LINE}\n"
                     "    _some_tool some-tool \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\"\n"
                     "    printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort | paste -sd ' '\n"
                     "}\n"
                     "offered some-tool --config run ''\n"
                     "offered some-tool --config run.txt ''\n"
                     "offered some-tool --config run.txt run --kind ''\n"
                     "offered some-tool run --level ''\n"
                     "offered some-tool run -C ''\n"
                     "offered some-tool run ''\n"
                     "offered some-tool run -\n");
    const std::string command = "bash '" + folder.at(u"offered").string() + "' '" +
                                folder.at(u"completion").string() + "' '" + folder.at(u"files").string() + "' 2>&1";

    EXPECT_EQ(output(command),
              "run\n"
              "run\n"
              "fancy plain\n"
              "\n"
              "rundir\n"
              "run.txt rundir\n"
              "--help --kind --level -C -h\n");
}
