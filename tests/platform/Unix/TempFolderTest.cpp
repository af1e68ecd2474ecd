#include "KxTestFolder.h"

#include "TempFolder.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

using namespace Tessit;

namespace {

namespace fs = std::filesystem;

// Runs a test in `folder` with TMPDIR set to `value`, and puts both back.
class InFolderWithTmpdir {
public:
    InFolderWithTmpdir(const fs::path& folder, const std::string& value) : m_folder(fs::current_path())
    {
        if (const char* previous = std::getenv("TMPDIR"))
            m_previous = previous;
        fs::current_path(folder);
        setenv("TMPDIR", value.c_str(), 1);
    }
    ~InFolderWithTmpdir()
    {
        fs::current_path(m_folder);
        if (m_previous)
            setenv("TMPDIR", m_previous->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    fs::path m_folder;
    std::optional<std::string> m_previous;
};

} // namespace

// The main tool is started by its path from inside the temporary folder, so
// the folder must not depend on where the launcher was started.
TEST(TempFolder, IsAbsoluteWhateverTmpdirSays)
{
    Kavo::KxTestFolder root;
    fs::create_directories(root.path() / "tmp");
    const std::string expected = (root.path() / "tmp" / ("tessit-" + std::to_string(geteuid()))).string() + "/";
    for (const std::string& value : {std::string("tmp"), std::string("tmp//"), (root.path() / "tmp/").string()}) {
        SCOPED_TRACE("TMPDIR=" + value);
        std::string folder;
        {
            InFolderWithTmpdir context(root.path(), value);
            folder = Kavo::nativePath(userTempFolder());
        }
        EXPECT_EQ(folder, expected);
        EXPECT_TRUE(fs::is_directory(expected));
    }
}

// Whoever may write into any folder on the way to the private folder could
// put another folder in its place after it was checked: every level must
// belong to root or the user and be writable by nobody else unless sticky.
TEST(TempFolder, EveryFolderOnTheWayIsTheUsersOrRootsAndClosedToOthers)
{
    constexpr uid_t kOther = 65534;
    struct Level {
        mode_t mode;
        bool owned; // by the user, else by another user
    };
    struct Case {
        const char* what;
        Level grandparent;
        Level parent;
        bool usable;
    };
    const Case cases[] = {
        {"closed folders", {0755, true}, {0755, true}, true},
        {"a sticky parent open to all", {0755, true}, {01777, true}, true},
        {"a grandparent open to all", {0777, true}, {0755, true}, false},
        {"a grandparent open to its group", {0775, true}, {0755, true}, false},
        {"a parent open to all", {0755, true}, {0777, true}, false},
        {"another user's parent", {0755, true}, {0755, false}, false},
        {"another user's sticky parent", {0755, true}, {01777, false}, false},
        {"another user's grandparent", {0755, false}, {0755, true}, false},
    };
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Kavo::KxTestFolder root;
        const fs::path grandparent = root.path() / "grandparent";
        const fs::path parent = grandparent / "parent";
        fs::create_directories(parent);
        for (const auto& [folder, level] : {std::pair{grandparent, c.grandparent}, std::pair{parent, c.parent}}) {
            ASSERT_EQ(chmod(folder.c_str(), level.mode), 0);
            ASSERT_EQ(chown(folder.c_str(), level.owned ? geteuid() : kOther, getegid()), 0);
        }
        std::string folder;
        {
            InFolderWithTmpdir context(root.path(), parent.string());
            folder = Kavo::nativePath(userTempFolder());
        }
        EXPECT_EQ(folder, c.usable ? (parent / ("tessit-" + std::to_string(geteuid()))).string() + "/" : "");
    }
}

// A link on the way is followed once, when the folder is chosen: its owner
// could turn it elsewhere later, so the folder is named without it, and
// where it leads is checked like any other path.
TEST(TempFolder, LinksOnTheWayAreResolvedAndWhereTheyLeadIsChecked)
{
    Kavo::KxTestFolder root;
    fs::create_directories(root.path() / "closed");
    fs::create_directories(root.path() / "open");
    chmod((root.path() / "open").c_str(), 0777);
    fs::create_directory_symlink(root.path() / "closed", root.path() / "to-closed");
    fs::create_directory_symlink(root.path() / "open", root.path() / "to-open");

    struct Case {
        const char* link;
        std::string expected;
    };
    const Case cases[] = {
        {"to-closed", (root.path() / "closed" / ("tessit-" + std::to_string(geteuid()))).string() + "/"},
        {"to-open", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        std::string folder;
        {
            InFolderWithTmpdir context(root.path(), c.link);
            folder = Kavo::nativePath(userTempFolder());
        }
        EXPECT_EQ(folder, c.expected);
    }
}
