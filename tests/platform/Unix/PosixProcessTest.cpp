#include "KxTestFolder.h"

#include "Unix/PosixInstanceLock.h"
#include "Unix/PosixProcess.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>

using namespace Tessit;

namespace {

void writeScript(const Kavo::KxTestFolder& folder, const std::u16string& name, const std::string& body)
{
    folder.writeFile(name, "#!/bin/sh\n" + body);
    std::filesystem::permissions(folder.at(name), std::filesystem::perms::owner_all);
}

} // namespace

TEST(PosixProcess, StartsByPathInTheGivenFolderAndReportsHowItEnded)
{
    Kavo::KxTestFolder folder;
    writeScript(folder, u"tool", "pwd > where.txt\nprintf '%s|' \"$@\" > args.txt\nexit 7\n");
    const std::string tool = folder.at(u"tool").string();

    const std::optional<pid_t> child = spawnProgram({tool, "a b", "\t"}, folder.path().string());
    ASSERT_TRUE(child);
    EXPECT_EQ(waitForExit(*child), std::optional<uint32_t>(7));
    EXPECT_EQ(folder.readFile(u"where.txt"), folder.path().string() + "\n");
    EXPECT_EQ(folder.readFile(u"args.txt"), "a b|\t|");

    const std::optional<pid_t> killed = spawnProgram({"/bin/sleep", "30"}, std::string());
    ASSERT_TRUE(killed);
    kill(*killed, SIGKILL);
    EXPECT_EQ(waitForExit(*killed), std::optional<uint32_t>(128 + SIGKILL));
}

TEST(PosixProcess, RefusesWhatItWouldHaveToSearchFor)
{
    Kavo::KxTestFolder folder;
    EXPECT_FALSE(spawnProgram({"sh", "-c", "true"}, std::string()));
    EXPECT_FALSE(spawnProgram({folder.at(u"missing").string()}, std::string()));
    EXPECT_FALSE(spawnProgram({"/bin/true"}, folder.at(u"missing").string()));
}

TEST(PosixProcess, FindsToolsInAbsoluteFoldersOfThePathOnly)
{
    Kavo::KxTestFolder folder;
    std::filesystem::create_directories(folder.at(u"plain"));
    std::filesystem::create_directories(folder.at(u"tools"));
    folder.writeFile(u"plain/regsvr32", "not executable");
    writeScript(folder, u"tools/regsvr32", "exit 0\n");
    writeScript(folder, u"regsvr32", "exit 0\n");

    const std::string here = std::filesystem::current_path().string();
    std::filesystem::current_path(folder.path());
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    const std::string path = ":.:" + folder.at(u"plain").string() + ":" + folder.at(u"tools").string();
    setenv("PATH", path.c_str(), 1);
    const std::string found = findOnPath("regsvr32");
    const std::string missing = findOnPath("not-there");
    setenv("PATH", oldPath.c_str(), 1);
    std::filesystem::current_path(here);

    EXPECT_EQ(found, folder.at(u"tools/regsvr32").string());
    EXPECT_EQ(missing, "");
}

TEST(PosixInstanceLock, OneHolderAtATimeAndChildrenDoNotKeepIt)
{
    Kavo::KxTestFolder folder;
    const std::string lockPath = folder.at(u"QIRA_ZIP Instance.lock").string();
    bool alreadyExists = true;
    std::unique_ptr<NamedMutex> first = lockInstanceFolder(lockPath, alreadyExists);
    ASSERT_TRUE(first);
    EXPECT_FALSE(alreadyExists);

    const std::optional<pid_t> child = spawnProgram({"/bin/sleep", "30"}, std::string());
    ASSERT_TRUE(child);
    {
        std::unique_ptr<NamedMutex> second = lockInstanceFolder(lockPath, alreadyExists);
        EXPECT_TRUE(alreadyExists);
    }
    first.reset();
    std::unique_ptr<NamedMutex> third = lockInstanceFolder(lockPath, alreadyExists);
    EXPECT_TRUE(third);
    EXPECT_FALSE(alreadyExists) << "the running child must not hold the lock";
    kill(*child, SIGKILL);
    waitForExit(*child);

    EXPECT_FALSE(lockInstanceFolder(folder.at(u"missing/x.lock").string(), alreadyExists));
    EXPECT_FALSE(alreadyExists);
}

// An entry is renamed over its target and a leftover is unlinked: neither
// can take the lock's name from the instance that holds it. A file an
// earlier version left at the name gives way to the folder.
TEST(PosixInstanceLock, NoRenameOrUnlinkOfItsNameEndsTheHold)
{
    Kavo::KxTestFolder folder;
    const std::string lockPath = folder.at(u"QIRA_ZIP Instance.lock").string();
    folder.writeFile(u"QIRA_ZIP Instance.lock", "an earlier version's lock file");
    bool alreadyExists = true;
    std::unique_ptr<NamedMutex> first = lockInstanceFolder(lockPath, alreadyExists);
    ASSERT_TRUE(first);
    EXPECT_FALSE(alreadyExists);

    folder.writeFile(u"entry", "an entry of that name");
    EXPECT_NE(rename(folder.at(u"entry").c_str(), lockPath.c_str()), 0);
    EXPECT_NE(unlink(lockPath.c_str()), 0);
    std::unique_ptr<NamedMutex> second = lockInstanceFolder(lockPath, alreadyExists);
    EXPECT_TRUE(alreadyExists);
}
