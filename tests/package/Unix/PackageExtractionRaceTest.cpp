// Another user who may write into the folder an extraction writes to (a
// shared folder given to tessit-pack extract -C) swaps a level of an entry's
// path for a link to a folder of root's while the entries are written.
#include "KxTestPrinting.h"
#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

using namespace Tessit;
namespace fs = std::filesystem;

TEST(PackageExtraction, ALevelSwappedForALinkMeanwhileLeadsNothingElsewhere)
{
    Kavo::KxTestFolder rootsOwn;
    std::vector<FixtureEntry> entries;
    for (int index = 0; index < 30; ++index)
        entries.push_back({u"shared\\entry" + std::u16string(1, char16_t(u'a' + index % 26)) +
                               std::u16string(1, char16_t(u'0' + index / 26)) + u".txt",
                           std::string(4096, 'x'), {}, true});
    PackageLayout layout;
    layout.entries = entries;
    const std::string package = buildPackage(layout);

    for (int round = 0; round < 40; ++round) {
        PackageRun run;
        const fs::path level = run.folder.at(u"temp/shared");
        const fs::path aside = run.folder.at(u"temp/shared.real");
        fs::create_directory(level);
        ASSERT_EQ(run.open(package).outcome, OpenOutcome::Opened);
        std::atomic<bool> extracting{true};
        std::thread attacker([&] {
            std::error_code ignored;
            while (extracting) {
                fs::rename(level, aside, ignored);
                fs::create_directory_symlink(rootsOwn.path(), level, ignored);
                std::this_thread::yield();
                fs::remove(level, ignored);
                fs::rename(aside, level, ignored);
            }
        });
        run.extract();
        extracting = false;
        attacker.join();
        ASSERT_EQ(Kavo::namesIn(rootsOwn.path()), std::set<std::u16string>()) << "round " << round;
    }
}
