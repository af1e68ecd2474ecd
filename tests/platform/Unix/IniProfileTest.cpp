#include "KxTestFolder.h"

#include "Unix/IniProfile.h"
#include "Unix/ScratchAccounts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <filesystem>
#include <optional>
#include <string>

using namespace Tessit;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

size_t entryCount(const std::filesystem::path& folder)
{
    return size_t(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

} // namespace

TEST(IniProfile, PathFollowsTheConfigHomeLikeQSettings)
{
    ScopedEnvironment home("HOME", "/home/user");
    {
        ScopedEnvironment config("XDG_CONFIG_HOME", "/elsewhere/config");
        EXPECT_EQ(profileFilePath("QIRA", "QIRA"), "/elsewhere/config/QIRA/QIRA.conf");
    }
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        ScopedEnvironment config("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(profileFilePath("QIRA", "QIRA"), "/home/user/.config/QIRA/QIRA.conf") << (unusable ? unusable : "unset");
    }
}

TEST(IniProfile, WritesANewFileInPrivateFoldersWithNothingLeftBehind)
{
    Kavo::KxTestFolder folder;
    const std::filesystem::path path = folder.path() / "config" / "QIRA" / "QIRA.conf";

    ASSERT_TRUE(writeProfileInt(path.string(), "UI", "OEM", -5));

    EXPECT_EQ(folder.readFile(u"config/QIRA/QIRA.conf"), "[UI]\nOEM=-5\n");
    EXPECT_EQ(entryCount(path.parent_path()), 1u);
    const auto permissions = std::filesystem::status(path.parent_path()).permissions();
    EXPECT_EQ(permissions & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

// What a run killed while it wrote the profile left beside it goes with the
// next write; files only named like it, or another user's, stay.
TEST(IniProfile, RemovesOnlyItsOwnPartsKilledRunsLeftBesideIt)
{
    Kavo::KxTestFolder folder;
    const std::filesystem::path profileFolder = folder.path() / "QIRA";
    std::filesystem::create_directories(profileFolder);
    std::filesystem::permissions(profileFolder, std::filesystem::perms::owner_all);
    const std::filesystem::path leftover = profileFolder / "QIRA.conf.tessit-89abcdef";
    const std::filesystem::path alike = profileFolder / "QIRA.conf.tessit-89abcde";
    // Another file's part is another writer's: it may be writing it now.
    const std::filesystem::path anothers = profileFolder / "other.conf.tessit-01234567";
    for (const std::filesystem::path& path : {leftover, alike, anothers})
        std::ofstream(path) << "[UI]\n";

    ASSERT_TRUE(writeProfileInt((profileFolder / "QIRA.conf").string(), "UI", "OEM", 3));

    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_TRUE(std::filesystem::exists(alike));
    EXPECT_TRUE(std::filesystem::exists(anothers));
    EXPECT_EQ(entryCount(profileFolder), 3u);
}

// Qt's reader takes duplicate keys and lines without '='; the write still
// happens and keeps them, in one rename.
TEST(IniProfile, RewritesAFileQtReadsWithEveryOtherLineKept)
{
    Kavo::KxTestFolder folder;
    folder.writeFile(u"QIRA.conf", "; QIRA\n[General]\nlanguage=ko\n\n[UI]\nOEM=1\nOEM=2\nno equals sign here\n");

    ASSERT_TRUE(writeProfileInt((folder.path() / "QIRA.conf").string(), "UI", "OEM", 47));

    EXPECT_EQ(folder.readFile(u"QIRA.conf"), "; QIRA\n[General]\nlanguage=ko\n\n[UI]\nOEM=47\nno equals sign here\n");
    EXPECT_EQ(entryCount(folder.path()), 1u);
}

// Its lines could not be kept: nothing is written in its place.
TEST(IniProfile, LeavesWhatItCannotReadAlone)
{
    Kavo::KxTestFolder folder;
    std::filesystem::create_directory(folder.path() / "QIRA.conf");

    EXPECT_FALSE(writeProfileInt((folder.path() / "QIRA.conf").string(), "UI", "OEM", 47));

    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "QIRA.conf"));
    EXPECT_EQ(entryCount(folder.path()), 1u);
    EXPECT_FALSE(writeProfileInt("", "UI", "OEM", 47));
}

namespace {

constexpr uid_t kOtherUser = 65534;

struct FileState {
    std::string bytes;
    uid_t owner;
    mode_t mode;
};

FileState stateOf(const std::filesystem::path& path)
{
    struct stat status {};
    lstat(path.c_str(), &status);
    std::ifstream stream(path, std::ios::binary);
    return {std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()), status.st_uid,
            status.st_mode & 07777};
}

bool operator==(const FileState& a, const FileState& b)
{
    return a.bytes == b.bytes && a.owner == b.owner && a.mode == b.mode;
}

} // namespace

// Where another user could choose where the profile is written, or owns
// it, it is left as it is: root would otherwise write into the place a link
// of theirs leads to, or take their file from them.
TEST(IniProfile, LeavesAProfileOthersCouldRedirectOrOwnAlone)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving files to another user needs root";
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        // Lays out <root>/config for the case; the profile is config/QIRA/QIRA.conf.
        std::function<void(const fs::path& root)> layOut;
        fs::path watched; // relative to the root: the file that must stay as it was
    };
    const auto give = [](const fs::path& path, mode_t mode) {
        ASSERT_EQ(lchown(path.c_str(), kOtherUser, kOtherUser), 0) << path;
        if (!fs::is_symlink(path)) {
            ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
        }
    };
    const auto write = [](const fs::path& path, const std::string& bytes) { std::ofstream(path) << bytes; };
    const Case cases[] = {
        {"the application folder a link of another user's",
         [&](const fs::path& root) {
             fs::create_directories(root / "config");
             fs::create_directories(root / "elsewhere");
             write(root / "elsewhere/QIRA.conf", "[UI]\nOEM=1\n");
             fs::create_directory_symlink(root / "elsewhere", root / "config/QIRA");
             give(root / "config/QIRA", 0);
         },
         "elsewhere/QIRA.conf"},
        {"the config home another user's",
         [&](const fs::path& root) {
             fs::create_directories(root / "config/QIRA");
             write(root / "config/QIRA/QIRA.conf", "[UI]\nOEM=1\n");
             give(root / "config", 0755);
         },
         "config/QIRA/QIRA.conf"},
        {"the application folder open to all",
         [&](const fs::path& root) {
             fs::create_directories(root / "config/QIRA");
             write(root / "config/QIRA/QIRA.conf", "[UI]\nOEM=1\n");
             chmod((root / "config/QIRA").c_str(), 0777);
         },
         "config/QIRA/QIRA.conf"},
        {"the file another user's",
         [&](const fs::path& root) {
             fs::create_directories(root / "config/QIRA");
             write(root / "config/QIRA/QIRA.conf", "[UI]\nOEM=1\n");
             give(root / "config/QIRA/QIRA.conf", 0644);
         },
         "config/QIRA/QIRA.conf"},
        {"the file a link of another user's",
         [&](const fs::path& root) {
             fs::create_directories(root / "config/QIRA");
             write(root / "target.conf", "[UI]\nOEM=1\n");
             fs::create_symlink(root / "target.conf", root / "config/QIRA/QIRA.conf");
             give(root / "config/QIRA/QIRA.conf", 0);
         },
         "target.conf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Kavo::KxTestFolder folder;
        c.layOut(folder.path());
        const FileState before = stateOf(folder.path() / c.watched);

        EXPECT_FALSE(writeProfileInt((folder.path() / "config/QIRA/QIRA.conf").string(), "UI", "OEM", 47));

        EXPECT_TRUE(stateOf(folder.path() / c.watched) == before) << stateOf(folder.path() / c.watched).bytes;
    }
}

// Debian gives each user a group of their own and umask 002, so their
// folders and files are open to their group: that lets nobody else in, and
// the profile is written, its mode kept. Open to a group someone else is in,
// each of the levels keeps the profile from being written.
TEST(IniProfile, WritesWhereOnlyTheOwnersOwnGroupMayWriteBesideThem)
{
    if (const std::optional<std::string> reason = ScratchAccounts::whyUnavailable())
        GTEST_SKIP() << reason.value();
    namespace fs = std::filesystem;
    enum Group { kOwn, kShared, kAnothersOwn };
    struct Level {
        mode_t mode;
        Group group;
    };
    struct Case {
        const char* what;
        Level configHome;
        Level application;
        Level file;
        bool written;
    };
    const Case cases[] = {
        {"everything open to the user's own group", {0775, kOwn}, {0775, kOwn}, {0664, kOwn}, true},
        {"the config home open to a shared group", {0775, kShared}, {0775, kOwn}, {0664, kOwn}, false},
        {"the application folder open to a shared group", {0775, kOwn}, {0770, kShared}, {0664, kOwn}, false},
        {"the file open to a shared group", {0775, kOwn}, {0775, kOwn}, {0660, kShared}, false},
        {"the file open to another user's own group", {0755, kOwn}, {0755, kOwn}, {0664, kAnothersOwn}, false},
    };
    ScratchAccounts accounts;
    const ScratchAccounts::User user = accounts.addUserWithPrivateGroup();
    const ScratchAccounts::User another = accounts.addUserWithPrivateGroup();
    const gid_t shared = accounts.addGroup({user.name, another.name});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Kavo::KxTestFolder folder;
        const fs::path profile = folder.path() / "config/QIRA/QIRA.conf";
        fs::create_directories(profile.parent_path());
        std::ofstream(profile) << "[UI]\nOEM=1\n";
        for (const auto& [path, level] : {std::pair{profile.parent_path().parent_path(), c.configHome},
                                          std::pair{profile.parent_path(), c.application}, std::pair{profile, c.file}}) {
            const gid_t group = level.group == kOwn ? user.gid : level.group == kShared ? shared : another.gid;
            ASSERT_EQ(chown(path.c_str(), user.uid, group), 0) << path;
            ASSERT_EQ(chmod(path.c_str(), level.mode), 0) << path;
        }

        const std::string result = ScratchAccounts::runAs(
            user, [&] { return writeProfileInt(profile.string(), "UI", "OEM", 47) ? "written" : "left alone"; });

        EXPECT_EQ(result, c.written ? "written" : "left alone");
        EXPECT_TRUE(stateOf(profile) == (FileState{c.written ? "[UI]\nOEM=47\n" : "[UI]\nOEM=1\n", user.uid, c.file.mode}))
            << stateOf(profile).bytes;
        EXPECT_EQ(entryCount(profile.parent_path()), 1u);
    }
}

// The user's own file keeps its mode, and a link of the user's (a dotfile
// manager's) stays a link: the file it leads to is updated.
TEST(IniProfile, KeepsTheModeAndTheLinkOfTheUsersOwnProfile)
{
    namespace fs = std::filesystem;
    Kavo::KxTestFolder folder;
    fs::create_directories(folder.path() / "config/QIRA");
    fs::create_directories(folder.path() / "dotfiles");
    folder.writeFile(u"dotfiles/QIRA.conf", "[UI]\nOEM=1\n");
    chmod((folder.path() / "dotfiles/QIRA.conf").c_str(), 0644);
    fs::create_symlink(folder.path() / "dotfiles/QIRA.conf", folder.path() / "config/QIRA/QIRA.conf");

    ASSERT_TRUE(writeProfileInt((folder.path() / "config/QIRA/QIRA.conf").string(), "UI", "OEM", 47));

    EXPECT_TRUE(fs::is_symlink(folder.path() / "config/QIRA/QIRA.conf"));
    EXPECT_TRUE(stateOf(folder.path() / "dotfiles/QIRA.conf") == (FileState{"[UI]\nOEM=47\n", geteuid(), 0644}));
    EXPECT_EQ(entryCount(folder.path() / "dotfiles"), 1u);
    EXPECT_EQ(entryCount(folder.path() / "config/QIRA"), 1u);
}

// A file too large to be a profile is not read into memory, and one whose
// last line Qt's reader would continue into the new entry (a final
// backslash, an open quote) cannot be edited: both are left as they are.
TEST(IniProfile, LeavesAProfileItCannotEditAlone)
{
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        std::string text;
        uintmax_t sparseSize; // 0: none
    };
    const Case cases[] = {
        {"3 GiB", "", uintmax_t(3) << 30},
        {"a value continued at the end", "[UI]\nSize=2\\\n", 0},
        {"a value continued at the very end", "[UI]\nSize=2\\", 0},
        {"a quote left open", "[UI]\nNote=\"a\n", 0},
        {"a quote left open before the new section", "[Other]\nNote=\"a\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Kavo::KxTestFolder folder;
        const fs::path path = folder.path() / "QIRA.conf";
        folder.writeFile(u"QIRA.conf", c.text);
        if (c.sparseSize)
            fs::resize_file(path, c.sparseSize);

        EXPECT_FALSE(writeProfileInt(path.string(), "UI", "OEM", 47));

        EXPECT_EQ(fs::file_size(path), c.sparseSize ? c.sparseSize : c.text.size());
        if (!c.sparseSize) {
            EXPECT_EQ(folder.readFile(u"QIRA.conf"), c.text);
        }
        EXPECT_EQ(entryCount(folder.path()), 1u);
    }
}
