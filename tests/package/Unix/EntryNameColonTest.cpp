#include "KxTestPrinting.h"
#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessit;
using Kavo::KxString;

// ':' is an ordinary character in a name here: names that hold it are
// written below the folder like any other.
TEST(PackageExtractionOnUnix, WritesNamesWithAColon)
{
    struct Case {
        const char16_t* name;
        const char16_t* written; // below the folder
    };
    const std::vector<Case> cases{
        {u"a:b.txt", u"a:b.txt"},
        {u"C:drive.txt", u"C:drive.txt"},
        {u"C:\\drive.txt", u"C:/drive.txt"},
    };
    for (const Case& c : cases) {
        PackageRun run;
        PackageLayout layout;
        layout.entries = {{c.name, "colon", {}, true}, {u"inside.txt", "inside", {}, true}};
        ASSERT_EQ(run.open(buildPackage(layout)).outcome, OpenOutcome::Opened);
        const ExtractionReport report = run.extract();
        EXPECT_EQ(report.entries, (std::vector<EntryOutcome>{EntryOutcome::Written, EntryOutcome::Written}))
            << testing::PrintToString(KxString(c.name));
        EXPECT_EQ(run.extracted(c.written), "colon") << testing::PrintToString(KxString(c.name));
        EXPECT_EQ(run.extracted(u"inside.txt"), "inside");
    }
}
