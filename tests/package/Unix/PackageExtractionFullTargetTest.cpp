// Targets that take only part of their bytes, as a filling file system
// does: the process's file-size limit makes every write past it fall short.
#include "KxFileSizeLimit.h"
#include "KxTestPrinting.h"
#include "LauncherTextLine.h"
#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessit;
using Kavo::KxString;


// A block the target takes only in part marks the entry damaged, whether it
// is the entry's last block or an earlier one, and every later entry still
// receives exactly its own bytes.
TEST(PackageExtraction, TargetsThatTakeOnlyPartOfTheirBytesAreDamaged)
{
    constexpr size_t kLimit = 1000;
    PackageRun run;
    PackageLayout layout;
    layout.entries = {{u"one-block.bin", std::string(3000, 'a'), {}, true},
                      {u"many-blocks.bin", std::string(COPY_CHUNK_SIZE + 500, 'b'), {}, true},
                      {u"at-the-limit.bin", std::string(kLimit, 'c'), {}, true},
                      {u"small.txt", "small", {}, true}};
    ASSERT_EQ(run.open(buildPackage(layout)).outcome, OpenOutcome::Opened);

    ExtractionReport report;
    {
        const Kavo::KxFileSizeLimit limit(kLimit);
        report = run.extract();
    }

    EXPECT_EQ(report.entries, (std::vector<EntryOutcome>{EntryOutcome::Damaged, EntryOutcome::Damaged,
                                                         EntryOutcome::Written, EntryOutcome::Written}));
    EXPECT_EQ(report.firstDamagedTarget, run.platform.temporaryFolder + u"one-block.bin");
    EXPECT_NE(run.log.indexOfIgnoreCase(launcherText(kLogDamaged, run.platform.temporaryFolder + u"many-blocks.bin")), -1);
    EXPECT_EQ(run.extracted(u"at-the-limit.bin"), std::string(kLimit, 'c'));
    EXPECT_EQ(run.extracted(u"small.txt"), "small");
    const std::filesystem::path temp("temp");
    EXPECT_EQ(run.writtenFiles(), (std::vector<std::filesystem::path>{temp, temp / "at-the-limit.bin", temp / "small.txt"}))
        << "the damaged entries leave nothing half-written";
}
