#include "Unix/IniProfile.h"

#include "Unix/IniText.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

namespace Tessit {

namespace {

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : std::string();
}

std::string configHome()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return config;
    const std::string home = homeFolder();
    return home.empty() ? home : home + "/.config";
}

bool exists(const std::string& path, int& error)
{
    struct stat status;
    error = stat(path.c_str(), &status) == 0 ? 0 : errno;
    return error == 0;
}

bool makeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        int error = 0;
        if (!exists(level, error) && (error != ENOENT || mkdir(level.c_str(), 0700) != 0))
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// The file's bytes, empty for a missing file; nothing when it is no
// regular file or cannot be read to its end, since its lines could not all
// be kept.
std::optional<std::string> readWhole(const std::string& path)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    std::optional<std::string> bytes;
    struct stat status;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        bytes.emplace();
        char buffer[4096];
        for (;;) {
            const ssize_t count = read(descriptor, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                bytes.reset();
            if (count <= 0)
                break;
            bytes->append(buffer, size_t(count));
        }
    }
    close(descriptor);
    return bytes;
}

bool writeAll(int descriptor, const std::string& bytes)
{
    for (size_t written = 0; written < bytes.size();) {
        const ssize_t count = write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += size_t(count);
    }
    return true;
}

bool replaceFile(const std::string& path, const std::string& bytes)
{
    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    const bool written = writeAll(descriptor, bytes) && fsync(descriptor) == 0;
    if (close(descriptor) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string profileFilePath(const std::string& organisation, const std::string& application)
{
    const std::string home = configHome();
    return home.empty() ? home : home + "/" + organisation + "/" + application + ".conf";
}

bool writeProfileInt(const std::string& path, const std::string& section, const std::string& entry,
                     int32_t value)
{
    if (path.empty() || !makeFolders(path.substr(0, path.rfind('/'))))
        return false;
    const std::optional<std::string> text = readWhole(path);
    return text && replaceFile(path, withIniEntry(*text, section, entry, std::to_string(value)));
}

} // namespace Tessit
