// The real Linux launcher's whole job, and the runs it refuses.
#include "KxFileSizeLimit.h"
#include "LauncherBinaryFixture.h"
#include "Unix/ScratchAccounts.h"

#include <grp.h>
#include <pwd.h>

#include <fstream>

using namespace Tessit;

namespace {

// A folder's owner and group as the trace names them.
std::string ownerText(uid_t owner, gid_t group)
{
    const passwd* user = getpwuid(owner);
    std::string text = std::to_string(owner) + (user ? std::string(" (") + user->pw_name + ")" : std::string());
    const struct group* entry = getgrgid(group);
    return text + ", group " + std::to_string(group) + (entry ? std::string(" (") + entry->gr_name + ")" : std::string());
}

} // namespace

TEST_F(LauncherBinaryTest, DoesTheWholeJobInOrder)
{
    const fs::path package = pack("Setup", 47);

    const Outcome outcome = run(package, {"-diagnosis", "-OEM:12", "-NAME:Model DEBUG"});

    EXPECT_EQ(outcome.exitCode, 0);
    const std::string temp = tempFolder();
    EXPECT_EQ(outcome.errorOutput.rfind("Setup: information: Module : " + package.string() + "\n", 0), 0u)
        << outcome.errorOutput;
    EXPECT_NE(outcome.errorOutput.find("make folder: [docs]\n"), std::string::npos) << outcome.errorOutput;
    EXPECT_NE(outcome.errorOutput.find("Register : " + temp + "Viewer.ocx\nExecute : " + temp + "QIRA_t.exe\n\n"),
              std::string::npos)
        << outcome.errorOutput;

    EXPECT_EQ(readText(temp + "docs/readme.txt"), "read me\n");
    EXPECT_EQ(readText(temp + "QIRA_t.exe"), kMainTool);
    EXPECT_EQ(readText(temp + "installer-arguments.txt"), "-install\n");
    EXPECT_EQ(awaitFile(temp + "main-tool.txt"),
              "arguments: 1\nparameters: 1\t12\tModel DEBUG\t\nfolder: " + temp.substr(0, temp.size() - 1) +
                  "\nthe installer had finished\n")
        << "the installer's exit code 7 did not stop the run";
    EXPECT_EQ(awaitFile(root.path() / "bin/regsvr32-calls.txt"), "[/s][" + temp + "Viewer.ocx]\n");
    EXPECT_EQ(readText(root.path() / "config/QIRA/QIRA.conf"), "[UI]\nOEM=47\n");

    const std::string banner = repeated('&', 23) + "Tessit" + repeated('&', 27) + "\n";
    const std::string dialogBanner = repeated('&', 23) + "TessitDlg" + repeated('&', 27) + "\n";
    EXPECT_EQ(readText(root.path() / "trace.txt"),
              banner + "oemChecker:12\nsetOemId!!!!!!!!!!!!!\nStart TessitDlg\n~~~~~~~~~~~~DeviceFile~~~~~~~~~~~~~~\n"
                       "zipFile Closed...\n" + repeated('*', 53) + "\nsetOriginalOemId\nSELECTED\n"
                       "Selected Model Name...\n" + dialogBanner + "1\t12\tModel DEBUG\t\nYear~");
}

TEST_F(LauncherBinaryTest, SecondInstanceIsRefusedWhileTheFirstRuns)
{
    const fs::path package = pack("Setup", 47);
    root.writeFile(u"hold", "the installer waits while this file exists");
    const pid_t first = start(package, {}, root.path() / "first-stderr.txt");
    awaitFile(tempFolder() + "installer-arguments.txt");

    const Outcome second = run(package, {"DEBUG"});

    fs::remove(root.path() / "hold");
    EXPECT_EQ(second.exitCode, 2);
    EXPECT_EQ(second.errorOutput, "QIRA: warning: Already running...\n");
    EXPECT_EQ(finish(first), 0);
    EXPECT_EQ(readText(root.path() / "first-stderr.txt"), "");
}

// An entry named like the lock is written in its own place or not at all:
// it never takes the lock from the instance that runs.
TEST_F(LauncherBinaryTest, AnEntryNamedLikeTheLockLetsNoSecondInstanceRun)
{
    root.writeFile(u"lock-entry", "not a lock");
    const fs::path package =
        packItems("Setup", 47, {(root.path() / "stage").string(), "QIRA_ZIP Instance.lock=" + (root.path() / "lock-entry").string()});
    root.writeFile(u"hold", "the installer waits while this file exists");
    const pid_t first = start(package, {}, root.path() / "first-stderr.txt");
    awaitFile(tempFolder() + "installer-arguments.txt");

    const Outcome second = run(package, {});

    fs::remove(root.path() / "hold");
    EXPECT_EQ(second.exitCode, 2) << second.errorOutput;
    EXPECT_EQ(second.errorOutput, "QIRA: warning: Already running...\n");
    EXPECT_EQ(finish(first), 0);
    EXPECT_TRUE(fs::is_directory(tempFolder() + "QIRA_ZIP Instance.lock"));
}

TEST_F(LauncherBinaryTest, MoreThanThreeArgumentsEndSilently)
{
    const fs::path package = pack("Setup", 47);

    const Outcome outcome = run(package, {"a", "b", "c", "DEBUG"});

    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(outcome.errorOutput, "");
    EXPECT_FALSE(fs::exists(root.path() / "trace.txt"));
    EXPECT_FALSE(fs::exists(tempFolder()));
}

TEST_F(LauncherBinaryTest, RefusedPackagesSayWhyAndStartNothing)
{
    root.writeFile(u"stage/big.bin", std::string(128 * 1024, 'b'));
    const fs::path packed = pack("Setup", 47);
    const fs::path bare = root.path() / "Bare";
    fs::copy_file(TESSIT_LAUNCHER_PATH, bare);
    // The footer is intact, but the data area is 100 bytes shorter than the
    // header says.
    const fs::path shortened = root.path() / "Shortened";
    std::string bytes = readText(packed);
    bytes.erase(bytes.size() - 8 - 100, 100);
    root.writeFile(u"Shortened", bytes);
    fs::permissions(shortened, fs::perms::owner_all);
    // A copy broken off just before its end: the footer went with it.
    const fs::path truncated = root.path() / "Truncated";
    root.writeFile(u"Truncated", readText(packed).substr(0, fs::file_size(packed) - 50));
    fs::permissions(truncated, fs::perms::owner_all);

    struct Case {
        fs::path package;
        std::string message;
        rlim_t fileSizeLimit; // RLIM_INFINITY for none
    };
    // The last one meets a target that cannot take its bytes.
    const std::vector<Case> cases = {
        {bare, "Bare: error: [1]Can not open " + bare.string() + " file!!!\n", RLIM_INFINITY},
        {shortened, "Shortened: error: [3]Can not open " + shortened.string() + " file!!!\n", RLIM_INFINITY},
        {truncated, "Truncated: error: [1]Can not open " + truncated.string() + " file!!!\n", RLIM_INFINITY},
        {packed, "Setup: error: Can not write " + tempFolder() + "big.bin file!!!\n", 64 * 1024},
    };
    for (const Case& c : cases) {
        const Kavo::KxFileSizeLimit limit(c.fileSizeLimit);
        const Outcome outcome = run(c.package, {});
        EXPECT_EQ(outcome.exitCode, 1) << c.package;
        EXPECT_EQ(outcome.errorOutput, c.message);
    }
    EXPECT_FALSE(fs::exists(tempFolder() + "installer-arguments.txt"));
    EXPECT_FALSE(fs::exists(tempFolder() + "big.bin"));
    EXPECT_FALSE(fs::exists(root.path() / "config/QIRA/QIRA.conf"));
}

// Programs get their arguments one by one and the temporary folder is the
// one TMPDIR names: a quote in it cannot make another program run, and its
// backslash is no level separator.
TEST_F(LauncherBinaryTest, ProgramsGetTheirArgumentsWhateverTheTemporaryFolderHolds)
{
    fs::create_directories(root.path() / "stage/controls");
    root.writeFile(u"stage/controls/Grid.ocx", "grid");
    const fs::path package = pack("Setup", 47);
    temporaryBase = root.path() / "a\"b\\c";
    fs::create_directories(temporaryBase);
    // What the installer's re-split command line "<temp>mDNSResponder.exe" -install named.
    const fs::path planted =
        root.path() / "ab/c" / ("tessit-" + std::to_string(getuid())) / "mDNSResponder.exe -install";
    fs::create_directories(planted.parent_path());
    writeProgram(fs::relative(planted, root.path()).c_str(), "#!/bin/sh\ntouch \"$HOME/planted-ran\"\n");

    const Outcome outcome = run(package, {"-NAME:a\\b \"c\""});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.errorOutput;
    const std::string temp = tempFolder();
    EXPECT_EQ(readText(temp + "installer-arguments.txt"), "-install\n");
    EXPECT_FALSE(fs::exists(root.path() / "planted-ran"));
    EXPECT_EQ(awaitFile(temp + "main-tool.txt"), "arguments: 1\nparameters: 0\t47\ta\\b \"c\"\t\nfolder: " +
                                                     temp.substr(0, temp.size() - 1) + "\nthe installer had finished\n");
    const std::string calls = awaitFile(root.path() / "bin/regsvr32-calls.txt", 2);
    EXPECT_NE(calls.find("[/s][" + temp + "Viewer.ocx]\n"), std::string::npos) << calls;
    EXPECT_NE(calls.find("[/s][" + temp + "controls/Grid.ocx]\n"), std::string::npos) << calls;
}

// Exit code 0 says the main tool was started; a package without one, or
// whose main tool could not be written, ends the run with 1.
TEST_F(LauncherBinaryTest, ARunWhoseMainToolDidNotStartFails)
{
    const std::string stage = (root.path() / "stage").string();
    const std::vector<std::vector<std::string>> packages = {
        {"mDNSResponder.exe=" + stage + "/mDNSResponder.exe", "docs/readme.txt=" + stage + "/docs/readme.txt"},
        {"QIRA_t.exe\\x=" + stage + "/docs/readme.txt", "QIRA_t.exe=" + stage + "/QIRA_t.exe"},
    };
    for (const std::vector<std::string>& items : packages) {
        fs::remove_all(tempFolder());
        const fs::path package = packItems("Setup", 47, items);

        const Outcome outcome = run(package, {});

        EXPECT_EQ(outcome.exitCode, 1) << items.back() << ": " << outcome.errorOutput;
    }
}

// Nothing is written through a link below the private folder: a planted
// link in place of a target is replaced by the entry, one in place of a
// folder level counts as a level that cannot be made.
TEST_F(LauncherBinaryTest, LinksBelowThePrivateFolderAreNeverFollowed)
{
    const fs::path package = pack("Setup", 47);
    root.writeFile(u"victim.txt", "not to be overwritten");
    fs::create_directories(root.path() / "elsewhere");
    fs::create_directories(tempFolder());
    fs::permissions(tempFolder(), fs::perms::owner_all);
    fs::create_symlink(root.path() / "victim.txt", tempFolder() + "QIRA_t.exe");
    fs::create_directory_symlink(root.path() / "elsewhere", tempFolder() + "docs");

    const Outcome outcome = run(package, {"DEBUG"});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.errorOutput;
    EXPECT_EQ(readText(root.path() / "victim.txt"), "not to be overwritten");
    EXPECT_FALSE(fs::is_symlink(tempFolder() + "QIRA_t.exe"));
    EXPECT_EQ(readText(tempFolder() + "QIRA_t.exe"), kMainTool);
    EXPECT_TRUE(fs::is_empty(root.path() / "elsewhere"));
    // Something has the folder's name: no line tells of a folder made.
    EXPECT_EQ(outcome.errorOutput.find("make folder: [docs]\n"), std::string::npos) << outcome.errorOutput;
    EXPECT_NE(outcome.errorOutput.find("docs\\readme.txt(8)\n"), std::string::npos) << outcome.errorOutput;
    EXPECT_EQ(awaitFile(tempFolder() + "main-tool.txt").rfind("arguments: 1\n", 0), 0u);
}

// A new version takes the place of a main tool that still runs, which
// cannot be written into ("text file busy").
TEST_F(LauncherBinaryTest, ANewVersionReplacesAMainToolThatStillRuns)
{
    const fs::path package = pack("Setup", 47);
    fs::create_directories(tempFolder());
    fs::permissions(tempFolder(), fs::perms::owner_all);
    fs::copy_file("/bin/sleep", tempFolder() + "QIRA_t.exe");
    const pid_t running = start(tempFolder() + "QIRA_t.exe", {"30"}, root.path() / "sleep-stderr.txt");

    const Outcome outcome = run(package, {});

    kill(running, SIGKILL);
    finish(running);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.errorOutput;
    EXPECT_EQ(readText(tempFolder() + "QIRA_t.exe"), kMainTool);
    EXPECT_EQ(awaitFile(tempFolder() + "main-tool.txt").rfind("arguments: 1\n", 0), 0u);
    for (const auto& item : fs::directory_iterator(tempFolder()))
        EXPECT_EQ(item.path().filename().string().find(".tessit-"), std::string::npos) << item.path();
}

// The private folder is the user's alone, whatever an earlier run or the
// umask left: it is made 0700 again, and so is every folder made below it.
TEST_F(LauncherBinaryTest, ThePrivateFolderAndItsFoldersAreTheUsersAlone)
{
    const fs::path package = pack("Setup", 47);
    for (const mode_t earlier : {mode_t(0755), mode_t(0711)}) {
        fs::remove_all(tempFolder());
        fs::create_directories(tempFolder());
        chmod(tempFolder().c_str(), earlier);
        const mode_t previousMask = umask(0);
        const Outcome outcome = run(package, {});
        umask(previousMask);
        awaitFile(tempFolder() + "main-tool.txt");

        EXPECT_EQ(outcome.exitCode, 0) << outcome.errorOutput;
        for (const std::string& folder : {tempFolder(), tempFolder() + "docs"}) {
            struct stat status {};
            ASSERT_EQ(lstat(folder.c_str(), &status), 0) << folder;
            EXPECT_EQ(status.st_mode & 07777, mode_t(0700)) << folder << " after " << std::oct << earlier;
        }
    }
}

// Where others may write into the folder that holds the private folder
// without the sticky bit, they could swap the private folder after it was
// checked: such a temporary folder is refused, and the trace says which
// folder, its owner and mode, and why.
TEST_F(LauncherBinaryTest, AFolderOthersCouldSwapThePrivateFolderInIsRefused)
{
    const fs::path package = pack("Setup", 47);
    struct Case {
        mode_t mode;
        bool refused;
    };
    for (const Case& c : {Case{0777, true}, Case{01777, false}, Case{0755, false}}) {
        temporaryBase = root.path() / ("shared-" + std::to_string(c.mode));
        fs::create_directories(temporaryBase);
        chmod(temporaryBase.c_str(), c.mode);

        const Outcome outcome = run(package, {});

        EXPECT_EQ(outcome.exitCode, c.refused ? 1 : 0) << std::oct << c.mode;
        EXPECT_EQ(outcome.errorOutput, c.refused ? "Setup: error: Can not find temp folder!!!\n" : "") << std::oct << c.mode;
        EXPECT_EQ(fs::exists(tempFolder()), !c.refused) << std::oct << c.mode;
        const std::string refusal = "temp folder refused: " + temporaryBase.string() + ": owner " +
                                    ownerText(getuid(), getgid()) + ", mode 0777: others may write to it\n";
        EXPECT_EQ(readText(traceFile).find(refusal) != std::string::npos, c.refused) << readText(traceFile);
        fs::remove(traceFile);
    }
}

// Debian gives each user a group of their own and umask 002, so the folders
// they make are open to their group: that lets nobody else in, and the run
// goes on, the profile they made so updated, its mode kept. Once another
// user shares the group, the same folder is refused.
TEST_F(LauncherBinaryTest, AUsersOwnGroupMayWriteToTheirFolders)
{
    if (const std::optional<std::string> reason = ScratchAccounts::whyUnavailable())
        GTEST_SKIP() << reason.value();
    const fs::path package = pack("Setup", 47);
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "a group shared with another user" : "the user's own group");
        ScratchAccounts accounts;
        const ScratchAccounts::User user = accounts.addUserWithPrivateGroup();
        if (shared)
            accounts.addUser(user.gid);
        temporaryBase = root.path() / ("tmp-" + user.name);
        traceFile = temporaryBase / "trace.txt";
        const fs::path profile = root.path() / "config/QIRA/QIRA.conf";
        fs::create_directories(temporaryBase);
        fs::create_directories(profile.parent_path());
        std::ofstream(profile) << "[UI]\nOEM=1\n";
        // The user's own regsvr32 stand-in, or the one PATH has next.
        for (const fs::path& path : {root.path() / "bin", root.path() / "bin/regsvr32"})
            ASSERT_EQ(chown(path.c_str(), user.uid, user.gid), 0) << path;
        for (const auto& [path, mode] : {std::pair{temporaryBase, mode_t(0775)}, std::pair{root.path() / "config", mode_t(0775)},
                                         std::pair{profile.parent_path(), mode_t(0775)}, std::pair{profile, mode_t(0664)}}) {
            ASSERT_EQ(chown(path.c_str(), user.uid, user.gid), 0) << path;
            ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
        }
        const fs::path temp = temporaryBase / ("tessit-" + std::to_string(user.uid));

        const mode_t previousMask = umask(002);
        const Outcome outcome = run("/usr/bin/setpriv", {"--reuid=" + std::to_string(user.uid),
                                                         "--regid=" + std::to_string(user.gid), "--clear-groups", "--",
                                                         package.string()});
        umask(previousMask);

        EXPECT_EQ(outcome.exitCode, shared ? 1 : 0) << outcome.errorOutput;
        EXPECT_EQ(outcome.errorOutput, shared ? "Setup: error: Can not find temp folder!!!\n" : "");
        if (shared) {
            const std::string refusal = "temp folder refused: " + temporaryBase.string() + ": owner " +
                                        ownerText(user.uid, user.gid) +
                                        ", mode 0775: its group may write to it and has other members than its owner\n";
            EXPECT_NE(readText(traceFile).find(refusal), std::string::npos) << readText(traceFile);
            EXPECT_FALSE(fs::exists(temp));
        } else {
            EXPECT_EQ(awaitFile(temp / "main-tool.txt"), "arguments: 1\nparameters: 0\t47\t\nfolder: " + temp.string() +
                                                              "\nthe installer had finished\n");
            EXPECT_EQ(awaitFile(root.path() / "bin/regsvr32-calls.txt"), "[/s][" + (temp / "Viewer.ocx").string() + "]\n");
        }
        struct stat status {};
        ASSERT_EQ(stat(profile.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode_t(0664));
        EXPECT_EQ(readText(profile), shared ? "[UI]\nOEM=1\n" : "[UI]\nOEM=47\n");
        fs::remove_all(root.path() / "config");
    }
}

// The package is read from the running file itself, never again by its
// path: a file put at "<path> (deleted)", the name the system reports once
// the started file lost its own, is not taken for it.
TEST_F(LauncherBinaryTest, ThePackageIsReadFromTheRunningFile)
{
    const fs::path package = pack("Setup", 47);
    const int running = open(package.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_NE(running, -1);
    fs::remove(package);
    fs::copy_file(TESSIT_LAUNCHER_PATH, package.string() + " (deleted)");

    const Outcome outcome = runOpenProgram(running, package.string());
    close(running);

    EXPECT_EQ(outcome.exitCode, 0) << outcome.errorOutput;
    EXPECT_EQ(readText(tempFolder() + "QIRA_t.exe"), kMainTool);
}

// Trace lines never hold the run up: a FIFO without a reader gets none.
TEST_F(LauncherBinaryTest, ATraceFileThatWouldBlockIsPassedOver)
{
    const fs::path package = pack("Setup", 47);
    traceFile = root.path() / "trace.fifo";
    ASSERT_EQ(mkfifo(traceFile.c_str(), 0600), 0);

    const std::optional<int> exitCode = finishWithin(start(package, {}, root.path() / "stderr.txt"), std::chrono::seconds(20));

    EXPECT_EQ(exitCode, std::optional<int>(0)) << "the run hung on its trace file";
}

// File names reach tessit-pack's errors escaped: an OSC or CSI sequence in
// one never acts on the terminal, a mark that reorders the line is shown.
TEST_F(LauncherBinaryTest, PackerErrorsShowHostileFileNamesEscaped)
{
    const std::string hostile = "\x1B]0;owned\x07\x1B[2J\xE2\x80\xAEtxt.exe\x9B";
    const std::string shown = "\\x1B]0;owned\\x07\\x1B[2J\\u202Etxt.exe\\x9B";
    fs::create_symlink(root.path() / "stage/docs/readme.txt", root.path() / "stage" / hostile);
    struct Case {
        std::string item;
        std::string expected;
    };
    const Case cases[] = {
        {(root.path() / "stage").string(), (root.path() / "stage").string() + "/" + shown + ": is a link"},
        {(root.path() / "missing" / hostile).string(), (root.path() / "missing").string() + "/" + shown +
                                                             ": no such file or folder"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(TESSIT_PACKER_PATH, {"build", "-l", TESSIT_LAUNCHER_PATH, "-o",
                                                         (root.path() / "out").string(), c.item});
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_NE(outcome.errorOutput.find(c.expected), std::string::npos) << outcome.errorOutput;
        EXPECT_EQ(outcome.errorOutput.find('\x1B'), std::string::npos) << outcome.errorOutput;
        EXPECT_EQ(outcome.errorOutput.find("\xE2\x80\xAE"), std::string::npos) << outcome.errorOutput;
    }
}

// The launcher's own path and the temporary folder's are the user's to
// choose: its message lines and its log show them escaped, so that an OSC or
// CSI sequence in them never acts on the terminal and no mark reorders the
// line.
TEST_F(LauncherBinaryTest, MessageLinesShowHostilePathsEscaped)
{
    const std::string hostile = "\x1B]0;owned\x07Se\xE2\x80\xAEtup\x1B[2J";
    const std::string shown = "\\x1B]0;owned\\x07Se\\u202Etup\\x1B[2J";
    const fs::path packed = root.path() / hostile;
    fs::copy_file(pack("Setup", 47), packed);
    const fs::path bare = root.path() / ("bare" + hostile);
    fs::copy_file(TESSIT_LAUNCHER_PATH, bare);
    temporaryBase = root.path() / ("tmp" + hostile);
    fs::create_directory(temporaryBase);
    fs::permissions(temporaryBase, fs::perms::owner_all);
    const std::string shownTemp = root.path().string() + "/tmp" + shown + "/tessit-" + std::to_string(getuid()) + "/";

    const Outcome refused = run(bare, {});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.errorOutput, "bare" + shown + ": error: [1]Can not open " + root.path().string() + "/bare" +
                                       shown + " file!!!\n");

    const Outcome debug = run(packed, {"DEBUG"});
    EXPECT_EQ(debug.exitCode, 0);
    for (const std::string& line : {shown + ": information: Module : " + root.path().string() + "/" + shown + "\n",
                                    "Temp Path : " + shownTemp + "\n", "Execute : " + shownTemp + "QIRA_t.exe\n"})
        EXPECT_NE(debug.errorOutput.find(line), std::string::npos) << line << "\nin\n" << debug.errorOutput;
    for (const Outcome* outcome : {&refused, &debug}) {
        EXPECT_EQ(outcome->errorOutput.find('\x1B'), std::string::npos) << outcome->errorOutput;
        EXPECT_EQ(outcome->errorOutput.find("\xE2\x80\xAE"), std::string::npos) << outcome->errorOutput;
    }
}
