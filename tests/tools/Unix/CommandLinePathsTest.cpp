#include "KxTestFolder.h"
#include "PackageFixture.h"

#include "EntrySources.h"
#include "PackageCommands.h"
#include "PackageWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace Tessit;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        names.push_back(item.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A path from the command line names the file the system knows by it: a
// '\' in it is part of a name, for every operation alike. Otherwise the
// file checked, written or removed is another than the one named.
TEST(CommandLinePaths, AreUsedAsGivenInEveryOperation)
{
    Kavo::KxTestFolder folder;
    const fs::path root = folder.path();
    folder.writeFile(u"launcher.exe", minimalPe(PeKind::Pe32));
    fs::create_directories(root / "dl");
    fs::create_directories(root / "out");
    fs::create_directories(root / "stage");
    folder.writeFile(u"dl\\main", "main tool");
    folder.writeFile(u"stage/a\\b", "a name with a backslash");

    const std::vector<PackEntry> entries =
        collectEntries({"QIRA_t.exe=" + (root / "dl\\main").string(), (root / "stage").string()});
    writePackage(prepareLauncher(root / "launcher.exe", false, false), 1, entries, root / "out\\packed.exe");

    EXPECT_TRUE(fs::is_regular_file(root / "out\\packed.exe"));
    EXPECT_TRUE(fs::is_empty(root / "out")) << "written or left in out/";

    // What 'dl/packed.exe' would name is no package at all.
    fs::copy_file(root / "out\\packed.exe", root / "dl\\packed.exe");
    folder.writeFile(u"dl/packed.exe", "no package");
    EXPECT_EQ(verifyPackage(root / "dl\\packed.exe"), 0);

    fs::create_directories(root / "sub");
    EXPECT_EQ(extractPackage(root / "dl\\packed.exe", root / "sub/..\\victim"), 0);
    EXPECT_FALSE(fs::exists(root / "victim"));
    EXPECT_EQ(namesIn(root / "sub/..\\victim"), (std::vector<std::string>{"QIRA_t.exe", "a", "a/b"}));
    EXPECT_EQ(folder.readFile(u"sub/..\\victim/a/b"), "a name with a backslash");
}

// A build that fails after its output was begun leaves nothing behind,
// wherever the output was to go.
TEST(CommandLinePaths, AFailedBuildLeavesNothing)
{
    Kavo::KxTestFolder folder;
    const fs::path root = folder.path();
    folder.writeFile(u"launcher.exe", minimalPe(PeKind::Pe32));
    folder.writeFile(u"main", "main tool");
    fs::create_directories(root / "out");
    // The output's name is taken by a folder: the finished file cannot be
    // renamed over it.
    fs::create_directories(root / "out\\x");
    const std::vector<PackEntry> entries = collectEntries({"QIRA_t.exe=" + (root / "main").string()});

    EXPECT_ANY_THROW(writePackage(prepareLauncher(root / "launcher.exe", false, false), 1, entries, root / "out\\x"));

    EXPECT_EQ(namesIn(root), (std::vector<std::string>{"launcher.exe", "main", "out", "out\\x"}));
}
