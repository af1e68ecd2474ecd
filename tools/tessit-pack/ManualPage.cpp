#include "ManualPage.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>

namespace Tessit {

namespace {

// The lines of a help text, without the spaces CLI11 leaves at their ends
// and without empty lines at the end.
std::vector<std::string> helpLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        line.erase(std::find_if(line.rbegin(), line.rend(), [](unsigned char c) { return !std::isspace(c); }).base(),
                   line.end());
        lines.push_back(line);
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

std::string roffLine(const std::string& line)
{
    std::string roff = !line.empty() && (line[0] == '.' || line[0] == '\'') ? "\\&" : "";
    for (char c : line) {
        if (c == '\\')
            roff += "\\e";
        else if (c == '-')
            roff += "\\-";
        else
            roff += c;
    }
    return roff;
}

// A paragraph's worth of roff text, ending in a line break; nothing for an
// empty text.
std::string roffParagraph(const std::string& text)
{
    const std::string roff = roffText(text);
    return roff.empty() ? roff : roff + "\n";
}

class ManualWriter {
public:
    explicit ManualWriter(const CLI::App& app)
        : formatter_(std::dynamic_pointer_cast<CLI::Formatter>(app.get_formatter()))
    {
        if (!formatter_)
            formatter_ = std::make_shared<CLI::Formatter>();
    }

    // The usage line of `app`, called `name`, as its help starts it, without
    // the label in front.
    std::string usage(const CLI::App* app, const std::string& name) const
    {
        const std::string line = formatter_->make_usage(app, name);
        return line.substr(line.find(name), line.find_last_not_of('\n') + 1 - line.find(name));
    }

    std::string synopsis(const CLI::App* app, const std::string& name) const
    {
        const std::string line = usage(app, name);
        std::string roff = "\\fB" + roffLine(name) + "\\fR" + roffLine(line.substr(name.size())) + "\n.br\n";
        for (const CLI::App* command : namedCommands(app))
            roff += synopsis(command, name + " " + command->get_name());
        return roff;
    }

    std::string description(const CLI::App* app) const { return roffParagraph(formatter_->make_description(app)); }

    std::string footer(const CLI::App* app) const
    {
        const std::string text = formatter_->make_footer(app);
        return text.empty() ? text : ".PP\n" + roffParagraph(text);
    }

    // The positionals, each group of options, then the option groups, as the
    // help lists them for `app`: with its help option, which an option group
    // (shown inside its command's help) leaves out.
    std::string options(const CLI::App* app, bool withHelp = true) const
    {
        std::string roff;
        for (const CLI::Option* option :
             app->get_options([](const CLI::Option* option) { return option->get_positional(); })) {
            if (!option->get_group().empty())
                roff += entry(option, true);
        }
        const std::string defaultGroup = formatter_->get_label("Options");
        for (const std::string& group : app->get_groups()) {
            const std::vector<const CLI::Option*> members = app->get_options([&](const CLI::Option* option) {
                return option->get_group() == group && option->nonpositional() &&
                       (withHelp || (option != app->get_help_ptr() && option != app->get_help_all_ptr()));
            });
            if (group.empty() || members.empty())
                continue;
            if (group != defaultGroup)
                roff += ".PP\n\\fB" + roffLine(group) + "\\fR\n";
            for (const CLI::Option* option : members)
                roff += entry(option, false);
        }
        for (const CLI::App* optionGroup : app->get_subcommands({})) {
            if (!optionGroup->get_name().empty() || optionGroup->get_group().empty())
                continue;
            roff += ".PP\n\\fB" + roffLine(optionGroup->get_group()) + "\\fR\n.br\n" + description(optionGroup) +
                    ".RS\n" + options(optionGroup, false) + ".RE\n";
        }
        return roff;
    }

    std::string commandList(const CLI::App* app) const
    {
        std::string roff;
        for (const CLI::App* command : namedCommands(app))
            roff += ".TP\n\\fB" + roffLine(command->get_name()) + "\\fR\n" + roffParagraph(command->get_description());
        return roff;
    }

    // Each command of `app`, called `name`, as its own help tells it.
    std::string commands(const CLI::App* app, const std::string& name) const
    {
        std::string roff;
        for (const CLI::App* command : namedCommands(app)) {
            const std::string commandName = name + " " + command->get_name();
            roff += ".SS \"" + roffLine(commandName) + "\"\n" + description(command) + ".PP\n" +
                    synopsis(command, commandName) + options(command) + footer(command) +
                    commands(command, commandName);
        }
        return roff;
    }

    static std::vector<const CLI::App*> namedCommands(const CLI::App* app)
    {
        return app->get_subcommands(
            [](const CLI::App* command) { return !command->get_disabled() && !command->get_name().empty(); });
    }

private:
    std::string entry(const CLI::Option* option, bool positional) const
    {
        return ".TP\n\\fB" + roffLine(formatter_->make_option_name(option, positional)) + "\\fR" +
               roffLine(formatter_->make_option_opts(option)) + "\n" +
               roffParagraph(formatter_->make_option_desc(option));
    }

    std::shared_ptr<CLI::Formatter> formatter_;
};

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

} // namespace

std::string roffText(const std::string& text)
{
    std::string roff;
    for (const std::string& line : helpLines(text))
        roff += (roff.empty() ? "" : "\n.br\n") + roffLine(line);
    return roff;
}

std::string manualPage(const CLI::App& app, const std::string& version, const std::string& moreSections)
{
    const ManualWriter writer(app);
    const std::string& name = app.get_name();
    const std::vector<std::string> description = helpLines(app.get_description());
    std::string summary = description.empty() ? "" : description.front();
    if (!summary.empty() && summary.back() == '.')
        summary.pop_back();

    std::string page = ".TH \"" + roffLine(upper(name)) + "\" 1 \"\" \"" + roffLine(version) + "\" \"User Commands\"\n";
    page += ".SH NAME\n" + roffLine(name) + " \\- " + roffLine(summary) + "\n";
    page += ".SH SYNOPSIS\n" + writer.synopsis(&app, name);
    page += ".SH DESCRIPTION\n" + writer.description(&app) + writer.footer(&app);
    page += ".SH OPTIONS\n" + writer.options(&app);
    if (!ManualWriter::namedCommands(&app).empty())
        page += ".SH COMMANDS\n" + writer.commandList(&app) + writer.commands(&app, name);
    return page + moreSections;
}

} // namespace Tessit
