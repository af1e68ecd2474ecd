#include "WindowsCommandLine.h"

#include <string>

namespace Tessit {

namespace {

bool isBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// The program name takes no escapes: a quote only opens or closes it.
size_t readProgramName(const std::u16string& text, std::u16string& name)
{
    size_t index = 0;
    bool quoted = false;
    while (index < text.size() && (quoted || !isBlank(text[index]))) {
        if (text[index] == u'"')
            quoted = !quoted;
        else
            name.push_back(text[index]);
        ++index;
    }
    return index;
}

size_t readArgument(const std::u16string& text, size_t index, std::u16string& argument)
{
    bool quoted = false;
    while (index < text.size() && (quoted || !isBlank(text[index]))) {
        size_t backslashes = 0;
        while (index < text.size() && text[index] == u'\\') {
            ++backslashes;
            ++index;
        }
        if (index < text.size() && text[index] == u'"') {
            argument.append(backslashes / 2, u'\\');
            if (backslashes % 2 == 1) {
                argument.push_back(u'"');
            } else if (quoted && index + 1 < text.size() && text[index + 1] == u'"') {
                argument.push_back(u'"');
                ++index;
            } else {
                quoted = !quoted;
            }
            ++index;
        } else {
            argument.append(backslashes, u'\\');
            if (backslashes == 0)
                argument.push_back(text[index++]);
        }
    }
    return index;
}

size_t skipBlanks(const std::u16string& text, size_t index)
{
    while (index < text.size() && isBlank(text[index]))
        ++index;
    return index;
}

} // namespace

std::vector<KxString> splitWindowsCommandLine(const KxString& commandLine)
{
    const std::u16string text(commandLine.c_str(), commandLine.length());
    std::vector<KxString> arguments;
    std::u16string programName;
    size_t index = readProgramName(text, programName);
    arguments.emplace_back(programName.c_str());
    for (index = skipBlanks(text, index); index < text.size(); index = skipBlanks(text, index)) {
        std::u16string argument;
        index = readArgument(text, index, argument);
        arguments.emplace_back(argument.c_str());
    }
    return arguments;
}

KxString argumentText(const KxString& commandLine)
{
    const char16_t* text = commandLine.c_str();
    bool quoted = false;
    for (; *text > u' ' || (*text && quoted); ++text) {
        if (*text == u'"')
            quoted = !quoted;
    }
    while (*text && *text <= u' ')
        ++text;
    return KxString(text);
}

namespace {

bool needsQuotes(const std::u16string& text) { return text.empty() || text.find_first_of(u" \t\"") != std::u16string::npos; }

KxString alwaysQuoted(const std::u16string& text)
{
    std::u16string quoted(1, u'"');
    size_t backslashes = 0;
    for (const char16_t unit : text) {
        if (unit == u'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are only special in front of a quote: double them there.
        quoted.append(unit == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        quoted.push_back(unit);
        backslashes = 0;
    }
    quoted.append(2 * backslashes, u'\\');
    quoted.push_back(u'"');
    return KxString(quoted.c_str());
}

bool isSwitch(const std::u16string& text) { return !needsQuotes(text) && (text[0] == u'/' || text[0] == u'-'); }

} // namespace

KxString quoteWindowsArgument(const KxString& argument)
{
    const std::u16string text(argument.c_str(), argument.length());
    return needsQuotes(text) ? alwaysQuoted(text) : argument;
}

KxString joinWindowsArguments(const std::vector<KxString>& arguments)
{
    KxString line;
    for (const KxString& argument : arguments) {
        if (line.length() != 0)
            line += u" ";
        line += quoteWindowsArgument(argument);
    }
    return line;
}

KxString windowsToolParameters(const std::vector<KxString>& arguments)
{
    KxString line;
    for (const KxString& argument : arguments) {
        if (line.length() != 0)
            line += u" ";
        const std::u16string text(argument.c_str(), argument.length());
        line += isSwitch(text) ? argument : alwaysQuoted(text);
    }
    return line;
}

KxString windowsCommandLine(const KxString& program, const std::vector<KxString>& arguments)
{
    KxString line = KxString(u"\"") + program + u"\"";
    if (!arguments.empty())
        line += KxString(u" ") + joinWindowsArguments(arguments);
    return line;
}

} // namespace Tessit
