// The real Linux launcher, packed by tessit-pack and run as a user would,
// each test in a private temporary folder, configuration home and trace file.
#include "KxTestFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kInstaller[] = R"sh(#!/bin/sh
cd "$(dirname "$0")"
printf '%s\n' "$@" > installer-arguments.txt
waited=0
while [ -e "$TESSIT_TEST_HOLD" ] && [ $waited -lt 300 ]; do sleep 0.1; waited=$((waited + 1)); done
echo finished > installer-finished.txt
exit 7
)sh";

const char kMainTool[] = R"sh(#!/bin/sh
{
  echo "arguments: $#"
  echo "parameters: $1"
  echo "folder: $(pwd)"
  [ -e installer-finished.txt ] && echo "the installer had finished"
} > main-tool.part
mv main-tool.part main-tool.txt
)sh";

const char kRegistrationTool[] = R"sh(#!/bin/sh
printf '%s\n' "$@" >> "$(dirname "$0")/regsvr32-calls.txt"
)sh";

std::string repeated(char character, size_t count) { return std::string(count, character); }

class LauncherBinaryTest : public testing::Test {
protected:
    LauncherBinaryTest()
    {
        for (const char* folder : {"stage/docs", "tmp", "config", "bin"})
            fs::create_directories(root.path() / folder);
        writeProgram("stage/mDNSResponder.exe", kInstaller);
        writeProgram("stage/QIRA_t.exe", kMainTool);
        root.writeFile(u"stage/docs/readme.txt", "read me\n");
        root.writeFile(u"stage/Viewer.ocx", "control");
        writeProgram("bin/regsvr32", kRegistrationTool);
    }

    struct Outcome {
        int exitCode;
        std::string errorOutput;
    };

    // The per-user folder the launcher extracts into, with its final '/'.
    std::string tempFolder() const { return (root.path() / "tmp" / ("tessit-" + std::to_string(getuid()))).string() + "/"; }

    fs::path pack(const std::string& name, int oemId)
    {
        const fs::path output = root.path() / name;
        const Outcome packed = run(TESSIT_PACKER_PATH, {"build", "-l", TESSIT_LAUNCHER_PATH, "-o", output.string(),
                                                        "--oem", std::to_string(oemId), (root.path() / "stage").string()});
        EXPECT_EQ(packed.exitCode, 0) << packed.errorOutput;
        return output;
    }

    pid_t start(const fs::path& program, const std::vector<std::string>& arguments, const fs::path& errorFile)
    {
        std::vector<std::string> environment = {
            "TMPDIR=" + (root.path() / "tmp").string(),
            "XDG_CONFIG_HOME=" + (root.path() / "config").string(),
            "TESSIT_TRACE=" + (root.path() / "trace.txt").string(),
            "TESSIT_TEST_HOLD=" + (root.path() / "hold").string(),
            "HOME=" + root.path().string(),
            "PATH=" + (root.path() / "bin").string() + ":/usr/bin:/bin",
        };
        std::vector<std::string> argumentTexts{program.string()};
        argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t child = -1;
        const int result = posix_spawn(&child, program.c_str(), &actions, nullptr, pointers(argumentTexts).data(),
                                       pointers(environment).data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(result, 0) << program;
        return child;
    }

    static int finish(pid_t child)
    {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    Outcome run(const fs::path& program, const std::vector<std::string>& arguments)
    {
        const fs::path errorFile = root.path() / "stderr.txt";
        const int exitCode = finish(start(program, arguments, errorFile));
        return Outcome{exitCode, readText(errorFile)};
    }

    std::string readText(const fs::path& path) const
    {
        return root.readFile(fs::relative(path, root.path()).u16string());
    }

    // What the unawaited programs leave behind; bounded so a program that
    // never runs fails the test instead of hanging it.
    std::string awaitFile(const fs::path& path) const
    {
        for (int attempt = 0; attempt < 200 && !fs::exists(path); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return fs::exists(path) ? readText(path) : "(never written)";
    }

    Kavo::KxTestFolder root;

private:
    void writeProgram(const char* relative, const char* text)
    {
        root.writeFile(fs::path(relative).u16string(), text);
        fs::permissions(root.path() / relative, fs::perms::owner_all);
    }

    static std::vector<char*> pointers(std::vector<std::string>& texts)
    {
        std::vector<char*> result;
        for (std::string& text : texts)
            result.push_back(text.data());
        result.push_back(nullptr);
        return result;
    }
};

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
    EXPECT_EQ(awaitFile(root.path() / "bin/regsvr32-calls.txt"), "/s \"" + temp + "Viewer.ocx\"\n");
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

    struct Case {
        fs::path package;
        std::string message;
    };
    const std::vector<Case> cases = {
        {bare, "Bare: error: [1]Can not open " + bare.string() + " file!!!\n"},
        {shortened, "Shortened: error: [3]Can not open " + shortened.string() + " file!!!\n"},
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
