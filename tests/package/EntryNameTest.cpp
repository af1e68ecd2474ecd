#include "KxTestPrinting.h"
#include "LauncherTextLine.h"
#include "PackageTestSupport.h"

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

// The extraction's log shows each target and folder as printableEntryName
// does; the entry is written under its own name.
TEST(PrintableEntryName, IsHowTheExtractionLogShowsTargets)
{
    PackageRun run;
    PackageLayout layout;
    layout.entries = {{u"d\u202Eir\\invoice\u2066fdp.exe", "x", {}, true}};
    ASSERT_EQ(run.open(buildPackage(layout)).outcome, OpenOutcome::Opened);
    run.extract();
    EXPECT_NE(run.log.indexOfIgnoreCase(launcherText(kLogMakeFolder, u"d\\u202Eir")), -1) << testing::PrintToString(run.log);
    const KxString shown = printableEntryName(run.platform.temporaryFolder) + u"d\\u202Eir\\invoice\\u2066fdp.exe";
    KxString entryLine;
    entryLine.format(kLogEntry, 1, &shown, 1);
    EXPECT_NE(run.log.indexOfIgnoreCase(entryLine), -1) << testing::PrintToString(run.log);
    EXPECT_EQ(run.log.indexOfIgnoreCase(u"\u202E"), -1) << testing::PrintToString(run.log);
    EXPECT_EQ(run.extracted(u"d\u202Eir/invoice\u2066fdp.exe"), "x");
}
