// The real launcher against a temporary folder that fails it: a file system
// that fills up part way, and folders it cannot write into. The file
// systems are small tmpfs mounts in a private mount namespace (unshare), so
// they vanish with the run; where such namespaces are not allowed those
// cases are skipped.
#include "LauncherBinaryFixture.h"

#include <optional>

using namespace Tessit;

namespace {

// Both packaged programs only leave a mark beside the test's folders, so
// that what they would have done is seen after the namespace is gone.
const char kMarkingProgram[] = R"sh(#!/bin/sh
echo started > "$HOME/$(basename "$0").started"
)sh";

class FaultInjectionTest : public LauncherBinaryTest {
protected:
    FaultInjectionTest()
    {
        writeProgram("stage/mDNSResponder.exe", kMarkingProgram);
        writeProgram("stage/QIRA_t.exe", kMarkingProgram);
    }

    // Runs `package` after `setup`, a shell command that may change TMPDIR,
    // inside a private mount namespace when asked to.
    Outcome runAfter(const std::string& setup, const fs::path& package, bool privateMounts)
    {
        std::vector<std::string> arguments;
        if (privateMounts) {
            // Inside, the launcher is root of the namespace: its folder is tessit-0.
            arguments = {"--mount", "--propagation", "private"};
            if (geteuid() != 0)
                arguments.insert(arguments.begin(), "--map-root-user");
            arguments.push_back("/bin/sh");
        }
        for (const std::string& word : {std::string("-c"), setup + " && exec \"$0\" \"$@\"", package.string()})
            arguments.push_back(word);
        if (!privateMounts)
            return run("/bin/sh", arguments);
        return run(kUnshare, arguments);
    }

    // Gives why private tmpfs mounts cannot be made here, or nothing.
    std::optional<std::string> privateMountsRefused()
    {
        if (!fs::exists(kUnshare))
            return std::string(kUnshare) + " is missing";
        const Outcome probe = runAfter("mount -t tmpfs -o size=64k tessit-probe \"$TMPDIR\"", "/bin/true", true);
        if (probe.exitCode != 0)
            return "unshare --mount with a tmpfs mount failed: " + probe.errorOutput;
        return std::nullopt;
    }

    std::string namespaceTempFolder() const { return (root.path() / "tmp" / "tessit-0").string() + "/"; }

    // Nothing was started or recorded: the run ended with its message.
    void expectNothingStarted(const std::string& label) const
    {
        for (const char* mark : {"QIRA_t.exe.started", "mDNSResponder.exe.started", "bin/regsvr32-calls.txt",
                                 "config/QIRA/QIRA.conf"})
            EXPECT_FALSE(fs::exists(root.path() / mark)) << label << ": " << mark;
    }

    static constexpr const char* kUnshare = "/usr/bin/unshare";
};

} // namespace

// An entry that meets the end of the room, in its last block or in an
// earlier one, is damaged: the run names it and starts nothing.
TEST_F(FaultInjectionTest, AFileSystemFillingUpEndsTheRunAtTheDamagedEntry)
{
    if (const std::optional<std::string> refused = privateMountsRefused())
        GTEST_SKIP() << "private mount namespaces are not allowed here: " << *refused;
    for (const size_t entrySize : {size_t(200) * 1024, size_t(1200) * 1024}) {
        std::string bytes(entrySize, '\0');
        for (size_t index = 0; index < bytes.size(); ++index)
            bytes[index] = char(index * 31 + index / 4093);
        root.writeFile(u"stage/big.bin", bytes);
        const fs::path package = pack("Setup", 47);

        const Outcome outcome =
            runAfter("mount -t tmpfs -o size=64k tessit-full \"$TMPDIR\"", package, true);

        const std::string label = std::to_string(entrySize) + " bytes";
        EXPECT_EQ(outcome.exitCode, 1) << label;
        EXPECT_EQ(outcome.errorOutput, "Setup: error: Can not write " + namespaceTempFolder() + "big.bin file!!!\n")
            << label;
        expectNothingStarted(label);
    }
}

// A temporary folder that cannot be written into, even by root, is refused
// before anything is extracted.
TEST_F(FaultInjectionTest, UnusableTemporaryFoldersAreRefused)
{
    const fs::path package = pack("Setup", 47);
    for (const char* setup : {"export TMPDIR=\"$HOME/not-a-folder\" && : > \"$TMPDIR\"",
                              "export TMPDIR=/proc/self/tessit-temp"}) {
        const Outcome outcome = runAfter(setup, package, false);
        EXPECT_EQ(outcome.exitCode, 1) << setup;
        EXPECT_EQ(outcome.errorOutput, "Setup: error: Can not find temp folder!!!\n") << setup;
        expectNothingStarted(setup);
    }
}

TEST_F(FaultInjectionTest, ReadOnlyTemporaryFoldersAreRefused)
{
    if (const std::optional<std::string> refused = privateMountsRefused())
        GTEST_SKIP() << "private mount namespaces are not allowed here: " << *refused;
    const fs::path package = pack("Setup", 47);
    // The second keeps the private folder of an earlier run, made read-only since.
    for (const char* setup : {"mount -t tmpfs -o ro tessit-ro \"$TMPDIR\"",
                              "mount -t tmpfs tessit-ro \"$TMPDIR\" && mkdir -m 700 \"$TMPDIR/tessit-0\" && "
                              "mount -o remount,bind,ro \"$TMPDIR\""}) {
        const Outcome outcome = runAfter(setup, package, true);
        EXPECT_EQ(outcome.exitCode, 1) << setup;
        EXPECT_EQ(outcome.errorOutput, "Setup: error: Can not find temp folder!!!\n") << setup;
        expectNothingStarted(setup);
    }
}
