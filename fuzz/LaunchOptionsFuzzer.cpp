// The launcher's command line: the options and the DEBUG search agree with
// simple independent readings of their rules, and Windows command lines
// split back into the arguments they were joined from.
//
// Input: arguments separated by line feeds; a byte stands for the unit of
// the same value, except 0xFF, which takes the unit from the next two bytes.
#include "WindowsCommandLine.h"
#include "app/Tessit.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace Tessit;
using Kavo::KxString;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "LaunchOptionsFuzzer: %s\n", what);
    std::abort();
}

std::u16string decode(const uint8_t* data, size_t size)
{
    std::u16string units;
    for (size_t index = 0; index < size; ++index) {
        char16_t unit = data[index];
        if (data[index] == 0xFF && index + 2 < size) {
            unit = char16_t(data[index + 1] | data[index + 2] << 8);
            index += 2;
        }
        if (unit != 0) // a text ends at its first U+0000
            units.push_back(unit);
    }
    return units;
}

std::vector<std::u16string> splitLines(const std::u16string& text)
{
    std::vector<std::u16string> lines(1);
    for (const char16_t unit : text) {
        if (unit == u'\n')
            lines.emplace_back();
        else
            lines.back().push_back(unit);
    }
    return lines;
}

char16_t asciiUpper(char16_t unit) { return unit >= u'a' && unit <= u'z' ? char16_t(unit - 32) : unit; }

bool startsWithIgnoringCase(const std::u16string& text, size_t at, const std::u16string& word)
{
    if (text.size() - at < word.size())
        return false;
    for (size_t index = 0; index < word.size(); ++index)
        if (asciiUpper(text[at + index]) != asciiUpper(word[index]))
            return false;
    return true;
}

// The plain decimal form of 0 to 2147483647: digits only, no leading zero.
std::optional<int32_t> plainNumber(const std::u16string& text)
{
    if (text.empty() || text.size() > 10 || (text[0] == u'0' && text.size() > 1))
        return std::nullopt;
    int64_t value = 0;
    for (const char16_t unit : text) {
        if (unit < u'0' || unit > u'9')
            return std::nullopt;
        value = value * 10 + (unit - u'0');
    }
    if (value > INT32_MAX)
        return std::nullopt;
    return int32_t(value);
}

LaunchSettings expectedSettings(const std::vector<std::u16string>& arguments)
{
    LaunchSettings settings;
    for (const std::u16string& argument : arguments) {
        if (argument == u"-diagnosis")
            settings.diagnosis = true;
        if (argument.size() > 5 && argument.compare(0, 5, u"-OEM:") == 0)
            if (const std::optional<int32_t> value = plainNumber(argument.substr(5)))
                settings.oemId = *value;
        if (argument.size() > 6 && startsWithIgnoringCase(argument, 0, u"-NAME:"))
            settings.modelName = KxString(argument.substr(6).c_str());
    }
    return settings;
}

bool containsDebug(const std::u16string& text)
{
    for (size_t at = 0; at < text.size(); ++at)
        if (startsWithIgnoringCase(text, at, u"DEBUG"))
            return true;
    return false;
}

std::vector<KxString> texts(const std::vector<std::u16string>& arguments)
{
    std::vector<KxString> result;
    for (const std::u16string& argument : arguments)
        result.emplace_back(argument.c_str());
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string text = decode(data, size);
    const std::vector<std::u16string> arguments = splitLines(text);
    const std::vector<KxString> argumentTexts = texts(arguments);

    const LaunchSettings parsed = ParseLaunchOptions(argumentTexts);
    const LaunchSettings expected = expectedSettings(arguments);
    if (parsed.diagnosis != expected.diagnosis)
        fail("-diagnosis read differently");
    if (parsed.oemId != expected.oemId)
        fail("-OEM: read differently");
    if (parsed.modelName != expected.modelName)
        fail("-NAME: read differently");
    if (DebugRequested(KxString(text.c_str())) != containsDebug(text))
        fail("DEBUG found differently");

    // Joined the way the launcher passes arguments on, they split back
    // unchanged behind a program name, quoted or not.
    const KxString joined = joinWindowsArguments(argumentTexts);
    for (const auto& [written, name] : {std::pair{u"Setup.exe", u"Setup.exe"},
                                        std::pair{u"\"C:\\Program Files\\Setup.exe\"", u"C:\\Program Files\\Setup.exe"}}) {
        std::vector<KxString> expectedSplit{KxString(name)};
        expectedSplit.insert(expectedSplit.end(), argumentTexts.begin(), argumentTexts.end());
        if (splitWindowsCommandLine(KxString(written) + u" " + joined) != expectedSplit)
            fail("joined arguments split differently");
    }

    // Any text splits into arguments that join and split back to themselves.
    const std::vector<KxString> split = splitWindowsCommandLine(KxString(text.c_str()));
    const std::vector<KxString> rest(split.begin() + 1, split.end());
    std::vector<KxString> again = splitWindowsCommandLine(KxString(u"Setup.exe ") + joinWindowsArguments(rest));
    again.erase(again.begin());
    if (again != rest)
        fail("split arguments do not join back");
    return 0;
}
