// The launcher's own overhead: time from starting a packed launcher to the
// start of its main tool, against starting the same main tool directly. The
// package holds the main tool and three small files; the main tool reports
// its start by writing one byte to descriptor 3, which both the launcher and
// the main tool inherit.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kStartedDescriptor = 3;

std::vector<char*> pointers(const std::vector<std::string>& texts)
{
    std::vector<char*> result;
    for (const std::string& text : texts)
        result.push_back(const_cast<char*>(text.c_str()));
    result.push_back(nullptr);
    return result;
}

int finish(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int run(const std::vector<std::string>& arguments)
{
    pid_t child = -1;
    if (posix_spawn(&child, arguments.front().c_str(), nullptr, nullptr, pointers(arguments).data(), environ) != 0)
        return -1;
    return finish(child);
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A packed launcher in a folder of its own, with private temporary and
// configuration folders for its runs.

class BenchFolder {
public:
    BenchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tessit-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("no temporary folder");
        root = pattern;
        const fs::path stage = root / "stage";
        fs::create_directories(stage / "docs");
        fs::create_directories(root / "tmp");
        writeFile(stage / "QIRA_t.exe", "#!/bin/sh\nprintf x >&3\n");
        fs::permissions(stage / "QIRA_t.exe", fs::perms::owner_all);
        writeFile(stage / "docs" / "readme.txt", std::string(1000, 'r'));
        writeFile(stage / "docs" / "licence.txt", std::string(4000, 'l'));
        writeFile(stage / "data.bin", std::string(64 * 1024, 'd'));
        packed = root / "Setup";
        if (run({TESSIT_PACKER_PATH, "build", "-l", TESSIT_LAUNCHER_PATH, "-o", packed.string(), "--oem", "47",
                 stage.string()}) != 0)
            throw std::runtime_error("tessit-pack failed");
        environment = {"TMPDIR=" + (root / "tmp").string(), "XDG_CONFIG_HOME=" + (root / "config").string(),
                       "HOME=" + root.string(), "PATH=/usr/bin:/bin"};
    }
    ~BenchFolder() { fs::remove_all(root); }

    // Starts the program with the write end of a fresh pipe as descriptor 3
    // and waits until something writes to it; gives the time that took.
    double secondsUntilStarted(const std::vector<std::string>& arguments, pid_t& child)
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], kStartedDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const auto start = std::chrono::steady_clock::now();
        const int result = posix_spawn(&child, arguments.front().c_str(), &actions, nullptr,
                                       pointers(arguments).data(), pointers(environment).data());
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        char started = 0;
        const bool reported = result == 0 && read(ends[0], &started, 1) == 1;
        const auto end = std::chrono::steady_clock::now();
        close(ends[0]);
        if (!reported)
            throw std::runtime_error("the main tool never started");
        return std::chrono::duration<double>(end - start).count();
    }

    fs::path root;
    fs::path packed;
    std::vector<std::string> environment;
};

BenchFolder& folder()
{
    static BenchFolder instance;
    return instance;
}

void BM_LauncherUntilMainToolStarts(benchmark::State& state)
{
    for (auto _ : state) {
        pid_t launcher = -1;
        state.SetIterationTime(folder().secondsUntilStarted({folder().packed.string()}, launcher));
        finish(launcher);
    }
}
BENCHMARK(BM_LauncherUntilMainToolStarts)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_MainToolDirectly(benchmark::State& state)
{
    const std::string mainTool = (folder().root / "stage" / "QIRA_t.exe").string();
    for (auto _ : state) {
        pid_t tool = -1;
        state.SetIterationTime(folder().secondsUntilStarted({mainTool}, tool));
        finish(tool);
    }
}
BENCHMARK(BM_MainToolDirectly)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
