// The real Linux launcher's whole job, and the runs it refuses.
#include "LauncherBinaryFixture.h"

using namespace Tessit;

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
    };
    const std::vector<Case> cases = {
        {bare, "Bare: error: [1]Can not open " + bare.string() + " file!!!\n"},
        {shortened, "Shortened: error: [3]Can not open " + shortened.string() + " file!!!\n"},
        {truncated, "Truncated: error: [1]Can not open " + truncated.string() + " file!!!\n"},
        {packed, "Setup: error: Can not write " + tempFolder() + "QIRA_t.exe file!!!\n"},
    };
    // The last one meets a target that cannot take its bytes.
    fs::create_directories(tempFolder());
    fs::permissions(tempFolder(), fs::perms::owner_all);
    fs::create_symlink("/dev/full", tempFolder() + "QIRA_t.exe");

    for (const Case& c : cases) {
        const Outcome outcome = run(c.package, {});
        EXPECT_EQ(outcome.exitCode, 1) << c.package;
        EXPECT_EQ(outcome.errorOutput, c.message);
    }
    EXPECT_FALSE(fs::exists(tempFolder() + "installer-arguments.txt"));
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
    const std::string calls = awaitFile(root.path() / "bin/regsvr32-calls.txt");
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
