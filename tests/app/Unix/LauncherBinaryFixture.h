#ifndef TESSIT_TESTS_APP_UNIX_LAUNCHERBINARYFIXTURE_H
#define TESSIT_TESTS_APP_UNIX_LAUNCHERBINARYFIXTURE_H

// The real Linux launcher, packed by tessit-pack and run as a user would,
// each test in a private temporary folder, configuration home and trace file.
#include "KxTestFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace Tessit {

namespace fs = std::filesystem;

inline const char kInstaller[] = R"sh(#!/bin/sh
cd "$(dirname "$0")"
printf '%s\n' "$@" > installer-arguments.txt
waited=0
while [ -e "$TESSIT_TEST_HOLD" ] && [ $waited -lt 300 ]; do sleep 0.1; waited=$((waited + 1)); done
echo finished > installer-finished.txt
exit 7
)sh";

inline const char kMainTool[] = R"sh(#!/bin/sh
{
  printf 'arguments: %s\n' "$#"
  printf 'parameters: %s\n' "$1"
  printf 'folder: %s\n' "$(pwd)"
  [ -e installer-finished.txt ] && echo "the installer had finished"
} > main-tool.part
mv main-tool.part main-tool.txt
)sh";

// One line per call, each argument in brackets, written at once so that
// calls running side by side do not mix their lines.
inline const char kRegistrationTool[] = R"sh(#!/bin/sh
line=$(printf '[%s]' "$@")
printf '%s\n' "$line" >> "$(dirname "$0")/regsvr32-calls.txt"
)sh";

inline std::string repeated(char character, size_t count) { return std::string(count, character); }

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
    std::string tempFolder() const { return (temporaryBase / ("tessit-" + std::to_string(getuid()))).string() + "/"; }

    fs::path pack(const std::string& name, int oemId) { return packItems(name, oemId, {(root.path() / "stage").string()}); }

    // Packs tessit-pack's ITEMs: files, folders or NAME=PATH.
    fs::path packItems(const std::string& name, int oemId, const std::vector<std::string>& items)
    {
        const fs::path output = root.path() / name;
        std::vector<std::string> arguments = {"build", "-l", TESSIT_LAUNCHER_PATH, "-o", output.string(),
                                              "--oem", std::to_string(oemId)};
        arguments.insert(arguments.end(), items.begin(), items.end());
        const Outcome packed = run(TESSIT_PACKER_PATH, arguments);
        EXPECT_EQ(packed.exitCode, 0) << packed.errorOutput;
        return output;
    }

    std::vector<std::string> environment() const
    {
        return {
            "TMPDIR=" + temporaryBase.string(),
            "XDG_CONFIG_HOME=" + (root.path() / "config").string(),
            "TESSIT_TRACE=" + traceFile.string(),
            "TESSIT_TEST_HOLD=" + (root.path() / "hold").string(),
            "HOME=" + root.path().string(),
            "PATH=" + (root.path() / "bin").string() + ":/usr/bin:/bin",
        };
    }

    pid_t start(const fs::path& program, const std::vector<std::string>& arguments, const fs::path& errorFile)
    {
        std::vector<std::string> variables = environment();
        std::vector<std::string> argumentTexts{program.string()};
        argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t child = -1;
        const int result = posix_spawn(&child, program.c_str(), &actions, nullptr, pointers(argumentTexts).data(),
                                       pointers(variables).data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(result, 0) << program;
        return child;
    }

    // Runs the program open at `descriptor`, named `name` in its arguments,
    // as a program whose file lost its name after it was started.
    Outcome runOpenProgram(int descriptor, const std::string& name)
    {
        std::vector<std::string> variables = environment();
        std::vector<std::string> argumentTexts{name};
        std::vector<char*> argv = pointers(argumentTexts);
        std::vector<char*> envp = pointers(variables);
        const fs::path errorFile = root.path() / "stderr.txt";
        const pid_t child = fork();
        if (child == 0) {
            const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(error, STDERR_FILENO);
            fexecve(descriptor, argv.data(), envp.data());
            _exit(127);
        }
        return Outcome{finish(child), readText(errorFile)};
    }

    // The exit code, or nothing when the child had not ended after `limit`
    // (it is then killed).
    static std::optional<int> finishWithin(pid_t child, std::chrono::seconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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

    // What the unawaited programs leave behind, once it holds `lines` lines
    // (programs that append, one line each, may still be running); bounded
    // so a program that never runs fails the test instead of hanging it.
    std::string awaitFile(const fs::path& path, std::ptrdiff_t lines = 1) const
    {
        const auto written = [&] {
            if (!fs::exists(path))
                return false;
            const std::string text = readText(path);
            return std::count(text.begin(), text.end(), '\n') >= lines;
        };
        for (int attempt = 0; attempt < 200 && !written(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return fs::exists(path) ? readText(path) : "(never written)";
    }

    void writeProgram(const char* relative, const char* text)
    {
        root.writeFile(fs::path(relative).u16string(), text);
        fs::permissions(root.path() / relative, fs::perms::owner_all);
    }

    Kavo::KxTestFolder root;
    fs::path temporaryBase = root.path() / "tmp"; // what TMPDIR names
    fs::path traceFile = root.path() / "trace.txt"; // what TESSIT_TRACE names

private:
    static std::vector<char*> pointers(std::vector<std::string>& texts)
    {
        std::vector<char*> result;
        for (std::string& text : texts)
            result.push_back(text.data());
        result.push_back(nullptr);
        return result;
    }
};

} // namespace Tessit

#endif
