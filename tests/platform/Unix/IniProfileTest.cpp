#include "KxTestFolder.h"

#include "Unix/IniProfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
