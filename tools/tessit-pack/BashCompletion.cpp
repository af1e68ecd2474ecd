#include "BashCompletion.h"

#include <algorithm>
#include <cctype>

namespace Tessit {

namespace {

std::string shellWord(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string joined(const std::vector<std::string>& words, const std::string& separator)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

std::vector<std::string> namesOf(const CLI::Option* option)
{
    std::vector<std::string> names;
    for (const std::string& name : option->get_snames())
        names.push_back("-" + name);
    for (const std::string& name : option->get_lnames())
        names.push_back("--" + name);
    return names;
}

// The options of `app` and of its option groups, which are given on its
// command line as well (an option group's help option is not).
std::vector<const CLI::Option*> optionsOf(const CLI::App* app, bool withHelp = true)
{
    std::vector<const CLI::Option*> options = app->get_options([&](const CLI::Option* option) {
        return option->nonpositional() &&
               (withHelp || (option != app->get_help_ptr() && option != app->get_help_all_ptr()));
    });
    for (const CLI::App* group : app->get_subcommands([](const CLI::App* sub) { return sub->get_name().empty(); })) {
        const std::vector<const CLI::Option*> more = optionsOf(group, false);
        options.insert(options.end(), more.begin(), more.end());
    }
    return options;
}

std::string wordsCompletion(const std::vector<std::string>& words)
{
    return "mapfile -t COMPREPLY < <(compgen -W " + shellWord(joined(words, " ")) + " -- \"$cur\")";
}

bool takesValue(const CLI::Option* option) { return option->get_items_expected_max() != 0; }

class CompletionWriter {
public:
    explicit CompletionWriter(const std::map<std::string, std::vector<std::string>>& values) : values_(values) {}

    // What completes the word after an option of `app` that takes a value
    // (nothing after a number), then its option names after '-', then
    // `otherwise`.
    std::string words(const CLI::App* app, const std::string& otherwise, const std::string& indent) const
    {
        std::vector<std::string> optionNames;
        std::map<std::string, std::vector<std::string>> byCompletion;
        for (const CLI::Option* option : optionsOf(app)) {
            const std::vector<std::string> names = namesOf(option);
            optionNames.insert(optionNames.end(), names.begin(), names.end());
            if (!takesValue(option))
                continue;
            std::vector<std::string>& patterns = byCompletion[valueCompletion(option)];
            for (const std::string& name : names)
                patterns.push_back(shellWord(name));
        }
        std::string script;
        if (!byCompletion.empty()) {
            script += indent + "case $prev in\n";
            for (const auto& [completion, patterns] : byCompletion)
                script += indent + joined(patterns, " | ") + ")\n" +
                          (completion.empty() ? "" : indent + "    " + completion + "\n") + indent + "    return\n" +
                          indent + "    ;;\n";
            script += indent + "esac\n" + indent + "$split && return\n";
        }
        return script + indent + "if [[ $cur == -* ]]; then\n" + indent + "    " + wordsCompletion(optionNames) +
               "\n" + indent + "    return\n" + indent + "fi\n" +
               (otherwise.empty() ? "" : indent + otherwise + "\n");
    }

private:
    std::string valueCompletion(const CLI::Option* option) const
    {
        const std::string typeName = option->get_type_name();
        const std::string type = typeName.substr(0, typeName.find(':'));
        const auto named = values_.find(type);
        if (named != values_.end())
            return wordsCompletion(named->second);
        if (type == "DIR")
            return "_filedir -d";
        if (type == "INT" || type == "UINT" || type == "FLOAT")
            return "";
        return "_filedir";
    }

    const std::map<std::string, std::vector<std::string>>& values_;
};

std::string functionName(const std::string& program)
{
    std::string name = "_" + program;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c) && c != '_'; }, '_');
    return name;
}

} // namespace

std::string bashCompletion(const CLI::App& app, const std::map<std::string, std::vector<std::string>>& values)
{
    const CompletionWriter writer(values);
    const std::vector<const CLI::App*> commands =
        app.get_subcommands([](const CLI::App* command) { return !command->get_name().empty(); });
    std::vector<std::string> commandNames;
    for (const CLI::App* command : commands)
        commandNames.push_back(command->get_name());

    // The command is the first word that is neither an option of the
    // program nor the value of one.
    std::vector<std::string> valueOptions;
    for (const CLI::Option* option : optionsOf(&app)) {
        if (takesValue(option)) {
            for (const std::string& name : namesOf(option))
                valueOptions.push_back(shellWord(name));
        }
    }
    const std::string function = functionName(app.get_name());
    std::string script = "# bash completion for " + app.get_name() + ", made from its command line\n" + function +
                         "()\n{\n    local cur prev words cword split\n    _init_completion -s || return\n\n"
                         "    local command='' i\n    for ((i = 1; i < cword; i++)); do\n        case ${words[i]} in\n";
    if (!valueOptions.empty())
        script += "        " + joined(valueOptions, " | ") + ") ((i++)) ;;\n";
    script += "        -*) ;;\n        *)\n            command=${words[i]}\n            break\n            ;;\n"
              "        esac\n    done\n\n    case $command in\n    '')\n" +
              writer.words(&app, wordsCompletion(commandNames), "        ") +
              "        ;;\n";
    for (const CLI::App* command : commands) {
        const bool positionals = !command->get_options([](const CLI::Option* option) {
                                          return option->get_positional();
                                      }).empty();
        script += "    " + shellWord(command->get_name()) + ")\n" +
                  writer.words(command, positionals ? "_filedir" : "", "        ") + "        ;;\n";
    }
    return script + "    esac\n} &&\n    complete -F " + function + " " + app.get_name() + "\n";
}

} // namespace Tessit
