#include "KxTestPrinting.h"

#include "WindowsCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Tessit;
using Kavo::KxString;

namespace {

std::vector<KxString> texts(std::initializer_list<const char16_t*> items)
{
    return std::vector<KxString>(items.begin(), items.end());
}

} // namespace

TEST(WindowsCommandLine, SplitsTheProgramNameAndArgumentsByTheRuntimesRules)
{
    struct Case {
        const char16_t* line;
        std::vector<KxString> expected;
    };
    const std::vector<Case> cases = {
        {u"\"C:\\Program Files\\T\\mDNSResponder.exe\" -install",
         texts({u"C:\\Program Files\\T\\mDNSResponder.exe", u"-install"})},
        {u"/tmp/a/p.exe -install", texts({u"/tmp/a/p.exe", u"-install"})},
        {u"\"C:\\dir\\\"x y", texts({u"C:\\dir\\x", u"y"})},
        {u"p  a \t b", texts({u"p", u"a", u"b"})},
        {u"p \"a b\" c", texts({u"p", u"a b", u"c"})},
        {u"p a\\b", texts({u"p", u"a\\b"})},
        {u"p a\\\\\"b c\"", texts({u"p", u"a\\b c"})},
        {u"p a\\\\\\\"b", texts({u"p", u"a\\\"b"})},
        {u"p \"a\\\\\" b", texts({u"p", u"a\\", u"b"})},
        {u"p \"a\"\"b\"", texts({u"p", u"a\"b"})},
        {u"p \"\" x", texts({u"p", u"", u"x"})},
        {u"p \"unclosed arg", texts({u"p", u"unclosed arg"})},
        {u"p", texts({u"p"})},
        {u"", texts({u""})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitWindowsCommandLine(c.line), c.expected) << testing::PrintToString(KxString(c.line));
}

TEST(WindowsCommandLine, QuotedArgumentsComeBackUnchanged)
{
    const std::vector<KxString> arguments = texts({u"plain", u"a b", u"", u"tab\there", u"a\\", u"a\\b", u"a\"b",
                                                   u"a\\\"b", u"end with \\\\", u"\"", u"-NAME:Model X"});
    std::vector<KxString> expected{u"p.exe"};
    expected.insert(expected.end(), arguments.begin(), arguments.end());

    EXPECT_EQ(splitWindowsCommandLine(KxString(u"p.exe ") + joinWindowsArguments(arguments)), expected);
    expected.front() = u"C:\\Program Files\\p.exe";
    EXPECT_EQ(splitWindowsCommandLine(windowsCommandLine(expected.front(), arguments)), expected);
    EXPECT_EQ(windowsCommandLine(u"C:\\T\\mDNSResponder.exe", {u"-install"}),
              KxString(u"\"C:\\T\\mDNSResponder.exe\" -install"));
    EXPECT_EQ(windowsCommandLine(u"C:\\regsvr32.exe", {u"/s", u"C:\\my controls\\a.ocx"}),
              KxString(u"\"C:\\regsvr32.exe\" /s \"C:\\my controls\\a.ocx\""));
    EXPECT_EQ(quoteWindowsArgument(u"plain"), KxString(u"plain"));
    EXPECT_EQ(quoteWindowsArgument(u"a b"), KxString(u"\"a b\""));
}

// A tool's switches stay as they are; a path is always quoted, and comes
// back unchanged.
TEST(WindowsCommandLine, ToolParametersQuoteEveryPath)
{
    struct Case {
        std::vector<KxString> arguments;
        const char16_t* parameters;
    };
    const std::vector<Case> cases = {
        {texts({u"/s", u"C:\\T\\Viewer.ocx"}), u"/s \"C:\\T\\Viewer.ocx\""},
        {texts({u"/s", u"C:\\my controls\\a.ocx"}), u"/s \"C:\\my controls\\a.ocx\""},
        {texts({u"-install", u"C:\\T\\"}), u"-install \"C:\\T\\\\\""},
        {texts({u"/s", u"C:\\a\"b.ocx"}), u"/s \"C:\\a\\\"b.ocx\""},
        {texts({u"/s x", u""}), u"\"/s x\" \"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(windowsToolParameters(c.arguments), KxString(c.parameters)) << testing::PrintToString(KxString(c.parameters));
        std::vector<KxString> expected{u"C:\\regsvr32.exe"};
        expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(splitWindowsCommandLine(KxString(u"C:\\regsvr32.exe ") + windowsToolParameters(c.arguments)), expected);
    }
}

TEST(WindowsCommandLine, ArgumentTextIsWhatFollowsTheProgramName)
{
    struct Case {
        const char16_t* line;
        const char16_t* expected;
    };
    const std::vector<Case> cases = {
        {u"Tessit.exe -NAME:A DEBUG", u"-NAME:A DEBUG"},
        {u"\"C:\\My Files\\Tessit.exe\"   \"-NAME:a b\" ", u"\"-NAME:a b\" "},
        {u"\"a b\"c d", u"d"},
        {u"Tessit.exe", u""},
        {u"Tessit.exe   ", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(argumentText(c.line), KxString(c.expected)) << testing::PrintToString(KxString(c.line));
}
