#include "Unix/IniProfile.h"

#include "Unix/IniText.h"
#include "Unix/OwnedDescriptor.h"
#include "Unix/SafePath.h"

#include "KxFoundation/KxReplacement.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

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

// Larger than any profile the main tool writes; reading more would only
// risk the run's memory.
constexpr off_t kProfileSizeLimit = 16 * 1024 * 1024;

// Parts are named like the launcher's other parts (see KxReplacement).
const Kavo::KxString kPartKind(u".tessit-");

// The file's bytes, empty for a missing file; nothing when it is no regular
// file, too large or cannot be read to its end, since its lines could not
// all be kept.
std::optional<std::string> readWhole(const std::string& path)
{
    const OwnedDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (file.get() < 0)
        return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    struct stat status;
    if (fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kProfileSizeLimit)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 || text.size() + size_t(count) > size_t(kProfileSizeLimit))
            return std::nullopt;
        if (count == 0)
            return text;
        text.append(buffer, size_t(count));
    }
}

// A new file is the user's alone; one that was there keeps its mode. What a
// killed run left beside the file goes first: the profile's own parts, not
// those of other files in its folder.
bool replaceFile(const std::string& path, const std::string& bytes)
{
    const Kavo::KxString target = Kavo::pathFromNative(path);
    Kavo::removeReplacementLeftoversOf(target, kPartKind);
    Kavo::KxReplacement replacement(target, kPartKind, Kavo::KxReplacementAccess::KeepTarget);
    return replacement.create() && replacement.file().writeAll(bytes.data(), uint32_t(bytes.size())) && replacement.finish() &&
           replacement.commit();
}

bool writeEntry(const std::string& path, const std::string& section, const std::string& entry, int32_t value)
{
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return false;
    const ResolvedPath folder = resolveSafePath(path.substr(0, slash), MissingLevel::MakeFolder);
    if (!folder.path)
        return false;
    const ResolvedPath file = resolveSafePath(*folder.path + path.substr(slash), MissingLevel::AllowLast);
    if (!file.path)
        return false;
    const std::optional<std::string> text = readWhole(*file.path);
    if (!text)
        return false;
    const std::string number = std::to_string(value);
    const std::string edited = withIniEntry(*text, section, entry, number);
    // A last line Qt's reader continues (a final backslash, an open quote)
    // would take in what follows it: such a file cannot be edited safely.
    if (iniEntryValues(edited, section, entry) != std::vector<std::string>{number})
        return false;
    return replaceFile(*file.path, edited);
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
    try {
        return writeEntry(path, section, entry, value);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace Tessit
