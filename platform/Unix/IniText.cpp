#include "Unix/IniText.h"

#include <algorithm>
#include <string_view>

namespace Tessit {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isLineBreak(char letter) { return letter == '\n' || letter == '\r'; }
bool isBlank(char letter) { return letter == ' ' || letter == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// One line as Qt's reader takes it: a backslash keeps the next character
// (a line break too) with the line, a line break inside double quotes does
// not end it, and a ';' outside quotes starts a comment to the end of the
// physical line. `content` is the line without comment and line break.
struct IniLine {
    std::size_t end = 0; // just after its line break
    std::string_view content;
};

IniLine readLine(std::string_view text, std::size_t begin)
{
    IniLine line;
    std::size_t contentEnd = std::string_view::npos;
    bool quoted = false;
    std::size_t at = begin;
    while (at < text.size() && (quoted || !isLineBreak(text[at]))) {
        const char letter = text[at];
        if (letter == ';' && !quoted && contentEnd == std::string_view::npos) {
            contentEnd = at;
        } else if (contentEnd == std::string_view::npos && letter == '\\' && at + 1 < text.size()) {
            at += text.compare(at + 1, 2, "\r\n") == 0 || text.compare(at + 1, 2, "\n\r") == 0 ? 3 : 2;
            continue;
        } else if (letter == '"' && contentEnd == std::string_view::npos) {
            quoted = !quoted;
        }
        ++at;
    }
    line.content = trimmed(text.substr(begin, std::min(at, contentEnd) - begin));
    if (at < text.size())
        at += text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    line.end = at;
    return line;
}

// "[name]" gives the name; Qt also takes a header without its ']'.
bool sectionName(std::string_view content, std::string_view& name)
{
    if (content.empty() || content.front() != '[')
        return false;
    name = trimmed(content.substr(1, content.find(']') - 1));
    return true;
}

bool entryKey(std::string_view content, std::string_view& key)
{
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = trimmed(content.substr(0, equals));
    return true;
}

std::size_t contentStart(std::string_view text)
{
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

} // namespace

std::vector<std::string> iniEntryValues(const std::string& text, const std::string& section,
                                        const std::string& entry)
{
    const std::string_view source(text);
    std::vector<std::string> values;
    bool inSection = false;
    for (std::size_t at = contentStart(source); at < source.size();) {
        const IniLine line = readLine(source, at);
        std::string_view name;
        if (sectionName(line.content, name))
            inSection = name == section;
        else if (inSection && entryKey(line.content, name) && name == entry)
            values.emplace_back(trimmed(line.content.substr(line.content.find('=') + 1)));
        at = line.end;
    }
    return values;
}

std::string withIniEntry(const std::string& text, const std::string& section, const std::string& entry,
                         const std::string& value)
{
    const std::string_view source(text);
    const std::size_t firstBreak = source.find_first_of("\r\n");
    const std::string newline = firstBreak != std::string_view::npos && source.compare(firstBreak, 2, "\r\n") == 0
        ? "\r\n"
        : "\n";
    const std::string setting = entry + "=" + value;

    std::string result;
    std::size_t at = contentStart(source);
    result.append(source.substr(0, at));
    bool inSection = false;
    bool set = false;
    std::size_t sectionEnd = std::string::npos; // in `result`, after the section's last header or entry
    while (at < source.size()) {
        const IniLine line = readLine(source, at);
        std::string_view name;
        const bool isHeader = sectionName(line.content, name);
        if (isHeader)
            inSection = name == section;
        const bool isEntry = !isHeader && entryKey(line.content, name);
        if (inSection && isEntry && name == entry) {
            if (!set) {
                const std::string_view lineBreak = source.substr(at, line.end - at);
                result += setting;
                result.append(lineBreak.substr(lineBreak.find_last_not_of("\r\n") + 1));
            }
            set = true;
        } else {
            result.append(source.substr(at, line.end - at));
            if (inSection && (isHeader || isEntry))
                sectionEnd = result.size();
        }
        at = line.end;
    }
    if (set)
        return result;

    const auto endsLine = [](const std::string& part, std::size_t end) {
        return end == 0 || isLineBreak(part[end - 1]);
    };
    if (sectionEnd != std::string::npos) {
        result.insert(sectionEnd, (endsLine(result, sectionEnd) ? "" : newline) + setting + newline);
        return result;
    }
    if (!endsLine(result, result.size()))
        result += newline;
    if (!result.empty())
        result += newline;
    return result + "[" + section + "]" + newline + setting + newline;
}

} // namespace Tessit
