// What runs killed while they wrote an entry left behind.
#include "KxTestPrinting.h"
#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <vector>

using namespace Tessit;
namespace fs = std::filesystem;

// Each folder an entry is written to loses the user's own parts of killed
// runs, whatever entry they were of; another user's file, a link and a
// folder named alike stay, as does a part in a folder no entry goes to.
TEST(PackageExtraction, RemovesTheUsersLeftoverPartsInTheFoldersItWrites)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    PackageRun run;
    const fs::path temp = run.folder.at(u"temp");
    for (const char* folder : {"docs", "other", "temp-folder.tessit-00000005"})
        fs::create_directories(temp / folder);
    for (const char* file : {"big.iso.tessit-0a1b2c3d", "docs/gone.txt.tessit-ffffffff", "theirs.tessit-00000002",
                             "other/kept.tessit-00000004"})
        run.folder.writeFile(fs::path("temp/" + std::string(file)).u16string(), "part");
    ASSERT_EQ(::chown((temp / "theirs.tessit-00000002").c_str(), 65534, 65534), 0);
    fs::create_symlink(temp / "other/kept.tessit-00000004", temp / "link.tessit-00000003");
    PackageLayout layout;
    layout.entries = {{u"a.txt", "a", {}, true}, {u"docs\\b.txt", "b", {}, true}};
    ASSERT_EQ(run.open(buildPackage(layout)).outcome, OpenOutcome::Opened);

    const ExtractionReport report = run.extract();

    EXPECT_EQ(report.entries, (std::vector<EntryOutcome>{EntryOutcome::Written, EntryOutcome::Written}));
    const fs::path t("temp");
    EXPECT_EQ(run.writtenFiles(),
              (std::vector<fs::path>{t, t / "a.txt", t / "docs", t / "docs/b.txt", t / "link.tessit-00000003",
                                     t / "other", t / "other/kept.tessit-00000004", t / "temp-folder.tessit-00000005",
                                     t / "theirs.tessit-00000002"}));
}
