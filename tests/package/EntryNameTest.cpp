#include "KxTestPrinting.h"
#include "LauncherTextLine.h"
#include "PackageTestSupport.h"

#include "package/EntryName.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace Tessit;
using Kavo::KxString;

// Where each name is written below the folder, under each system's rules:
// levels that name nothing of their own go, Windows drops the dots and
// spaces that end a level, and names that name no file, climb out, or name a
// drive, a stream or a device are not written at all.
TEST(EntryName, ResolvesWhereEachNameIsWritten)
{
    struct Case {
        std::u16string name;
        std::optional<std::u16string> windows;
        std::optional<std::u16string> posix;
    };
    const std::optional<std::u16string> unsafe;
    const Case cases[] = {
        {u"QIRA_t.exe", u"QIRA_t.exe", u"QIRA_t.exe"},
        {u".\\QIRA_t.exe", u"QIRA_t.exe", u"QIRA_t.exe"},
        {u"\\QIRA_t.exe", u"QIRA_t.exe", u"QIRA_t.exe"},
        {u"./docs//a.txt", u"docs\\a.txt", u"docs\\a.txt"},
        {u"docs.\\a.txt. ", u"docs\\a.txt", u"docs.\\a.txt. "},
        {u"a:b.txt", unsafe, u"a:b.txt"},
        {u"CON", unsafe, u"CON"},
        {u"aux.c", unsafe, u"aux.c"},
        {u"docs\\lpt1 .txt", unsafe, u"docs\\lpt1 .txt"},
        {u"console.txt", u"console.txt", u"console.txt"},
        {u"COM10", u"COM10", u"COM10"},
        {u"", unsafe, unsafe},
        {u"\\", unsafe, unsafe},
        {u".", unsafe, unsafe},
        {u"docs\\", unsafe, unsafe},
        {u"docs/.", unsafe, unsafe},
        {u"..\\up.txt", unsafe, unsafe},
        {u" \\x.txt", unsafe, unsafe},
        {u"tab\tname", unsafe, unsafe},
    };
    for (const Case& c : cases) {
        const KxString name(c.name.c_str());
        for (const NameRules rules : {NameRules::Windows, NameRules::Posix}) {
            const std::optional<std::u16string>& expected = rules == NameRules::Windows ? c.windows : c.posix;
            const std::optional<EntryPath> path = resolveEntryName(name, rules);
            SCOPED_TRACE(testing::Message() << testing::PrintToString(name)
                                            << (rules == NameRules::Windows ? " on Windows" : " on POSIX"));
            ASSERT_EQ(path.has_value(), expected.has_value());
            if (path) {
                EXPECT_EQ(path->relative(), KxString(expected->c_str()));
            }
        }
    }
    EXPECT_TRUE(sameEntryPath(KxString(u"Docs\\QIRA_T.EXE"), KxString(u"docs\\qira_t.exe"), NameRules::Windows));
    EXPECT_FALSE(sameEntryPath(KxString(u"Docs\\QIRA_T.EXE"), KxString(u"docs\\qira_t.exe"), NameRules::Posix));
}

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
