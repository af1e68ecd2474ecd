#include "KxTestFolder.h"
#include "PackageFixture.h"

#include "EntrySources.h"
#include "PackageWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Tessit;
namespace fs = std::filesystem;

// Every user who may start the packed launcher can read it, as it reads its
// own file: it gets 0755 less the umask, as a linker's output does.
TEST(PackedMode, IsWhatALinkerGivesUnderTheUmask)
{
    Kavo::KxTestFolder folder;
    folder.writeFile(u"launcher.exe", minimalPe(PeKind::Pe32));
    folder.writeFile(u"main", "main tool");
    const std::vector<PackEntry> entries = collectEntries({"QIRA_t.exe=" + (folder.path() / "main").string()});
    for (const mode_t mask : {mode_t(022), mode_t(077), mode_t(027), mode_t(0)}) {
        const mode_t previous = ::umask(mask);
        writePackage(prepareLauncher(folder.path() / "launcher.exe", false, false), 1, entries,
                     folder.path() / "packed.exe");
        ::umask(previous);
        struct stat status {};
        ASSERT_EQ(::stat((folder.path() / "packed.exe").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0755 & ~mask) << std::oct << mask;
    }
}

// A build killed while it wrote leaves its part beside the output; the next
// build of that output removes it, and leaves the parts of other outputs to
// the builds that may be writing them.
TEST(PackedMode, ABuildRemovesWhatAKilledBuildOfItsOutputLeft)
{
    Kavo::KxTestFolder folder;
    folder.writeFile(u"launcher.exe", minimalPe(PeKind::Pe32));
    folder.writeFile(u"main", "main tool");
    folder.writeFile(u"packed.exe.tessit-pack-0123abcd", "killed");
    folder.writeFile(u"other.exe.tessit-pack-0123abcd", "being written");
    const std::vector<PackEntry> entries = collectEntries({"QIRA_t.exe=" + (folder.path() / "main").string()});
    writePackage(prepareLauncher(folder.path() / "launcher.exe", false, false), 1, entries,
                 folder.path() / "packed.exe");
    EXPECT_FALSE(fs::exists(folder.path() / "packed.exe.tessit-pack-0123abcd"));
    EXPECT_TRUE(fs::exists(folder.path() / "other.exe.tessit-pack-0123abcd"));
}
