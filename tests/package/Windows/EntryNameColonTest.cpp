#include "KxTestPrinting.h"
#include "LauncherTextLine.h"
#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Tessit;
using Kavo::KxString;

// A ':' names a drive or an alternate data stream here: such names are
// skipped, and nothing is written beside the folder or into a stream.
TEST(PackageExtractionOnWindows, SkipsNamesWithADriveOrStreamMark)
{
    for (const char16_t* name : {u"C:\\drive.txt", u"C:drive.txt", u"stream:name", u"inside.txt:hidden", u"a:b.txt"}) {
        PackageRun run;
        PackageLayout layout;
        layout.entries = {{name, "escaped", {}, true}, {u"inside.txt", "inside", {}, true}};
        ASSERT_EQ(run.open(buildPackage(layout)).outcome, OpenOutcome::Opened);
        run.log = KxString();
        const ExtractionReport report = run.extract();
        EXPECT_EQ(report.entries, (std::vector<EntryOutcome>{EntryOutcome::SkippedUnsafe, EntryOutcome::Written}))
            << testing::PrintToString(KxString(name));
        EXPECT_EQ(run.log.indexOfIgnoreCase(launcherText(kLogUnsafeName, name)), 0);
        EXPECT_EQ(run.writtenFiles(), (std::vector<std::filesystem::path>{"temp", std::filesystem::path("temp") / "inside.txt"}))
            << testing::PrintToString(KxString(name));
        EXPECT_EQ(run.extracted(u"inside.txt"), "inside");
    }
}
