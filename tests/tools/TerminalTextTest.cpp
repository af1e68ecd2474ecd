#include "KxTestFolder.h"
#include "PackageTestSupport.h"

#include "PackageCommands.h"
#include "TerminalText.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tessit;
namespace fs = std::filesystem;

// Bytes that are no UTF-8 (a lone 0x9B is a CSI to some terminals) are
// escaped one by one; characters are escaped as a packaged name is.
TEST(TerminalText, EscapesControlsReorderingMarksAndBytesThatAreNoUtf8)
{
    struct Case {
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"plain /path/to/file.exe: no such file", "plain /path/to/file.exe: no such file"},
        {"\x1B]0;owned\x07: is a link", "\\x1B]0;owned\\x07: is a link"},
        {"\x1B[2J\x1B[31m", "\\x1B[2J\\x1B[31m"},
        {"a\nb\rc\td", "a\\x0Ab\\x0Dc\\x09d"},
        {"\xC2\x9B" "31m", "\\x9B31m"},
        {"\x9B" "31m", "\\x9B31m"},
        {"invoice\xE2\x80\xAE" "fdp.exe", "invoice\\u202Efdp.exe"},
        {"\xE2\x81\xA6x\xE2\x81\xA9", "\\u2066x\\u2069"},
        {"\xC0\x9B", "\\xC0\\x9B"},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"cut \xE2\x80", "cut \\xE2\\x80"},
        {"r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80", "r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(terminalText(c.text), c.shown) << c.shown;
    EXPECT_EQ(terminalLines("one \x1B[2J\ntwo\xE2\x80\xAE\n"), "one \\x1B[2J\ntwo\\u202E\n");
}

// `list`, `extract` and extract's log show a name that reorders its line
// escaped; it is written as it is.
TEST(TerminalText, ListAndExtractShowReorderingNamesEscaped)
{
    Kavo::KxTestFolder folder;
    PackageLayout layout;
    layout.entries = {{u"QIRA_t.exe", "main", {}, true}, {u"invoice\u202Efdp.exe", "x", {}, true}};
    folder.writeFile(u"crafted.exe", buildPackage(layout));
    const fs::path crafted = folder.path() / "crafted.exe";

    testing::internal::CaptureStdout();
    EXPECT_EQ(listPackage(crafted), 0);
    EXPECT_EQ(extractPackage(crafted, folder.path() / "out", true), 0);
    const std::string shown = testing::internal::GetCapturedStdout();

    EXPECT_EQ(shown.find("\xE2\x80\xAE"), std::string::npos) << shown;
    EXPECT_NE(shown.find("  invoice\\u202Efdp.exe\n"), std::string::npos) << shown << "(list)";
    EXPECT_NE(shown.find("\ninvoice\\u202Efdp.exe\n"), std::string::npos) << shown << "(extract)";
    EXPECT_NE(shown.find("invoice\\u202Efdp.exe(1)\n"), std::string::npos) << shown << "(extract's log)";
    EXPECT_EQ(folder.readFile(u"out/invoice\u202Efdp.exe"), "x");
}
