#include "Unix/PosixProcess.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace Tessit {

namespace {

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    bool changeFolder(const std::string& folder)
    {
        return posix_spawn_file_actions_addchdir_np(&m_actions, folder.c_str()) == 0;
    }
    const posix_spawn_file_actions_t* get() const { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

bool isExecutableFile(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(path.c_str(), X_OK) == 0;
}

} // namespace

std::optional<pid_t> spawnProgram(const std::vector<std::string>& arguments, const std::string& folder)
{
    if (arguments.empty() || arguments.front().find('/') == std::string::npos)
        return std::nullopt;
    SpawnActions actions;
    if (!folder.empty() && !actions.changeFolder(folder))
        return std::nullopt;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, argv.front(), actions.get(), nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    return child;
}

std::optional<uint32_t> waitForExit(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) == -1) {
        if (errno != EINTR)
            return std::nullopt;
    }
    if (WIFSIGNALED(status))
        return 128u + uint32_t(WTERMSIG(status));
    return uint32_t(WEXITSTATUS(status));
}

std::string findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    if (!path || name.empty() || name.find('/') != std::string::npos)
        return std::string();
    const std::string folders(path);
    for (size_t start = 0; start < folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        if (folders[start] == '/') {
            const std::string candidate = folders.substr(start, end - start) + "/" + name;
            if (isExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

} // namespace Tessit
