// What the Linux dump writer does with the file it writes.
#include "KxDumpFiles.h"

#include "KxDump.h"
#include "KxFoundation/KxTime.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

using namespace Kavo;

namespace {

namespace fs = std::filesystem;

// Each test dumps under a name of its own: CTest runs them side by side, and
// one test's clean-up would remove what the other planted.
const char16_t kName[] = u"KxDumpFileTest";
const char16_t kModeTestName[] = u"KxDumpFileModeTest";

std::string readAll(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// The names the next request may take: it is numbered `number`, and
// stamped with this second or one of the next few.
std::vector<fs::path> nextDumpNames(int32_t number)
{
    const KxString module = modulePath();
    const KxString safeName(kName);
    std::vector<fs::path> names;
    for (std::time_t second = std::time(nullptr), last = second + 3; second <= last; ++second) {
        const KxTime time(static_cast<int32_t>(second));
        KxString name;
        name.format(u"%@.%@.%04d%02d%02d%02d%02d%02d_%d.dmp", &module, &safeName, time.year(), time.month(),
                    time.day(), time.hour(), time.minute(), time.second(), number);
        names.push_back(fs::u8path(name.toNarrow()));
    }
    return names;
}

// Writes a dump in a child process, so that a writer that blocks fails the
// test instead of hanging it; false when the child had not ended in time.
bool writeDumpInChild()
{
    const pid_t child = fork();
    if (child == 0) {
        _kx_write_dump(nullptr, kName);
        _exit(0);
    }
    for (int attempt = 0; attempt < 600; ++attempt) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return false;
}

} // namespace

// A dump holds the process's memory: it is readable by its owner alone.
TEST(KxDumpFile, IsTheOwnersAlone)
{
    removeDumpFilesNamed(kModeTestName);
    const mode_t previousMask = umask(0);
    _kx_write_dump(nullptr, kModeTestName);
    umask(previousMask);
    const auto files = dumpFilesNamed(kModeTestName);
    ASSERT_EQ(files.size(), 1u);
    struct stat status {};
    ASSERT_EQ(lstat(files[0].c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode_t(0600));
    removeDumpFilesNamed(kModeTestName);
}

// The next dump's name can be foreseen; whatever someone put there is never
// written through: another name of a file of theirs, a FIFO that would
// block the writer for good, or a file already there.
TEST(KxDumpFile, IsNeverWrittenThroughANameThatExists)
{
    const fs::path folder = fs::u8path(modulePath().toNarrow()).parent_path();
    const fs::path victim = folder / "KxDumpFileTest-victim";
    struct Case {
        const char* what;
        std::function<void(const fs::path& name)> plant;
        bool regular; // what was planted is a regular file that must keep its bytes
    };
    const Case cases[] = {
        {"a hard link to another file", [&](const fs::path& name) { fs::create_hard_link(victim, name); }, true},
        {"a file", [&](const fs::path& name) { std::ofstream(name) << "kept"; }, true},
        {"a FIFO", [&](const fs::path& name) { ASSERT_EQ(mkfifo(name.c_str(), 0600), 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        removeDumpFilesNamed(kName);
        std::ofstream(victim) << "kept";
        const std::vector<fs::path> names = nextDumpNames(KxDumpState::instance().dumpCounter());
        for (const fs::path& name : names)
            c.plant(name);

        EXPECT_TRUE(writeDumpInChild());

        for (const fs::path& name : names) {
            if (c.regular) {
                EXPECT_TRUE(readAll(name) == "kept") << "written through " << name;
            }
            fs::remove(name);
        }
        EXPECT_TRUE(readAll(victim) == "kept") << "written through " << victim;
        fs::remove(victim);
    }
    removeDumpFilesNamed(kName);
}
