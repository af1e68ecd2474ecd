#include "KxTestPrinting.h"

#include "package/Package.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tessit;
using Kavo::KxString;

// A name shown on a terminal or in a log can neither act on the terminal
// (OSC and CSI sequences, C1 controls) nor reorder the line so that it reads
// as another name; what is left is shown as it is.
TEST(PrintableEntryName, EscapesWhatActsOnTheTerminalOrReordersTheLine)
{
    struct Case {
        std::u16string name;
        std::u16string shown;
    };
    const Case cases[] = {
        {u"\x1B]0;owned\x07.txt", u"\\x1B]0;owned\\x07.txt"},
        {u"\x1B]8;;http://x\x1B\\link", u"\\x1B]8;;http://x\\x1B\\link"},
        {u"\x1B[2J\x1B[1;31mred", u"\\x1B[2J\\x1B[1;31mred"},
        {u"\u009B31mred", u"\\x9B31mred"},
        {u"invoice\u202Efdp.exe", u"invoice\\u202Efdp.exe"},
        {u"\u202A\u202B\u202C\u202D", u"\\u202A\\u202B\\u202C\\u202D"},
        {u"a\u2066b\u2067c\u2068d\u2069", u"a\\u2066b\\u2067c\\u2068d\\u2069"},
        {u"\u200Ex\u200Fy\u061Cz", u"\\u200Ex\\u200Fy\\u061Cz"},
        {u"docs\\r\u00E9sum\u00E9.txt", u"docs\\r\u00E9sum\u00E9.txt"},
        {u"\u0645\u0644\u0641.txt", u"\u0645\u0644\u0641.txt"},
        {u"zero\u200Bwidth\u2029\u202F", u"zero\u200Bwidth\u2029\u202F"},
        {u"pair\U0001F600.txt", u"pair\U0001F600.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printableEntryName(KxString(c.name.c_str())), KxString(c.shown.c_str()))
            << testing::PrintToString(KxString(c.name.c_str()));
}
