#include "KxTestFolder.h"

#include "TempFolder.h"
#include "Unix/ScratchAccounts.h"
#include "Unix/TempFolderChoice.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
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
// A group whose one member is the folder's owner lets nobody else in.
TEST(TempFolder, EveryFolderOnTheWayIsTheUsersOrRootsAndClosedToOthers)
{
    constexpr uid_t kOther = 65534;
    enum Group {
        kUsers, // the user's own primary group
        kOwnersPrivate, // one member: the folder's owner
        kShared, // the owner and another user
        kAnothersPrivate, // one member: another user
    };
    struct Level {
        mode_t mode;
        bool owned; // by the user, else by another user
        Group group = kUsers;
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
        {"a grandparent open to a shared group", {0775, true, kShared}, {0755, true}, false},
        {"a parent open to all", {0755, true}, {0777, true}, false},
        {"another user's parent", {0755, true}, {0755, false}, false},
        {"another user's sticky parent", {0755, true}, {01777, false}, false},
        {"another user's grandparent", {0755, false}, {0755, true}, false},
        {"a grandparent open to its owner's private group", {0775, true, kOwnersPrivate}, {0755, true}, true},
        {"a parent open to its owner's private group", {0755, true}, {0770, true, kOwnersPrivate}, true},
        {"a parent open to another user's private group", {0755, true}, {0775, true, kAnothersPrivate}, false},
        {"another user's parent open to their private group", {0755, true}, {0775, false, kOwnersPrivate}, false},
        {"a parent open to all and to its owner's private group", {0755, true}, {0777, true, kOwnersPrivate}, false},
        {"a sticky parent open to a shared group", {0755, true}, {01775, true, kShared}, true},
    };
    if (const std::optional<std::string> reason = ScratchAccounts::whyUnavailable())
        GTEST_SKIP() << "giving a folder to another user and making groups: " << reason.value();
    const auto nameOf = [](uid_t id) {
        const passwd* entry = getpwuid(id);
        return entry ? std::string(entry->pw_name) : std::string();
    };
    const std::string userName = nameOf(geteuid());
    const std::string otherName = nameOf(kOther);
    ASSERT_FALSE(userName.empty() || otherName.empty());
    ScratchAccounts accounts;
    const ScratchAccounts::User stranger = accounts.addUserWithPrivateGroup();
    const gid_t usersPrivate = accounts.addGroup({userName});
    const gid_t othersPrivate = accounts.addGroup({otherName});
    const gid_t shared = accounts.addGroup({userName, otherName});
    const auto groupOf = [&](const Level& level) {
        switch (level.group) {
        case kOwnersPrivate:
            return level.owned ? usersPrivate : othersPrivate;
        case kShared:
            return shared;
        case kAnothersPrivate:
            return stranger.gid;
        case kUsers:
            break;
        }
        return getegid();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Kavo::KxTestFolder root;
        const fs::path grandparent = root.path() / "grandparent";
        const fs::path parent = grandparent / "parent";
        fs::create_directories(parent);
        for (const auto& [folder, level] : {std::pair{grandparent, c.grandparent}, std::pair{parent, c.parent}}) {
            ASSERT_EQ(chown(folder.c_str(), level.owned ? geteuid() : kOther, groupOf(level)), 0);
            ASSERT_EQ(chmod(folder.c_str(), level.mode), 0);
        }
        TempFolderChoice choice;
        {
            InFolderWithTmpdir context(root.path(), parent.string());
            choice = chooseUserTempFolder();
        }
        EXPECT_EQ(Kavo::nativePath(choice.folder),
                  c.usable ? (parent / ("tessit-" + std::to_string(geteuid()))).string() + "/" : "")
            << choice.refusal;
    }
}

// Debian gives each user a group of their own and umask 002, so their
// folders are open to their group: that lets nobody else in. The same
// folder, once another user shares the group, is refused, and the refusal
// names it, its owner, group and mode, and why.
TEST(TempFolder, AUsersOwnGroupMayWriteOnTheWay)
{
    if (const std::optional<std::string> reason = ScratchAccounts::whyUnavailable())
        GTEST_SKIP() << reason.value();
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "a shared group" : "the user's own group");
        ScratchAccounts accounts;
        const ScratchAccounts::User user = accounts.addUserWithPrivateGroup();
        if (shared)
            accounts.addUser(user.gid);
        Kavo::KxTestFolder root;
        const fs::path home = root.path() / "home";
        fs::create_directory(home);
        ASSERT_EQ(chown(home.c_str(), user.uid, user.gid), 0);
        const fs::path base = home / "tmp";

        const std::string chosen = ScratchAccounts::runAs(user, [&] {
            // The test's own folder may be closed to the user (a checkout
            // below /root), and the context goes back to where it started.
            if (chdir("/") != 0)
                return std::string("(cannot leave the test's folder)");
            // Made by the user, umask 002: 0775.
            if (mkdir(base.c_str(), 0777) != 0)
                return std::string("(no folder made)");
            InFolderWithTmpdir context(home, base.string());
            const TempFolderChoice choice = chooseUserTempFolder();
            return choice.folder.length() != 0 ? Kavo::nativePath(choice.folder) : "refused: " + choice.refusal;
        });

        const struct group* group = getgrgid(user.gid);
        ASSERT_NE(group, nullptr);
        const std::string names = std::to_string(user.uid) + " (" + user.name + "), group " +
                                  std::to_string(user.gid) + " (" + group->gr_name + ")";
        EXPECT_EQ(chosen, shared ? "refused: " + base.string() + ": owner " + names +
                                       ", mode 0775: its group may write to it and has other members than its owner"
                                 : (base / ("tessit-" + std::to_string(user.uid))).string() + "/");
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
