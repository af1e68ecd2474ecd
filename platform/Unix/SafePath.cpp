#include "Unix/SafePath.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <vector>

namespace Tessit {

namespace {

// As many links as the system itself follows in one path.
constexpr int kLinkLimit = 40;

bool isOwnedByRootOrUser(const struct stat& status) { return status.st_uid == 0 || status.st_uid == ::geteuid(); }

bool isClosedToOthers(const struct stat& status) { return (status.st_mode & (S_IWGRP | S_IWOTH)) == 0; }

// Whoever may write into a folder may rename its entries and put others in
// their place after they were checked; the sticky bit keeps each user to
// their own entries.
bool isSafeFolder(const struct stat& status)
{
    return isOwnedByRootOrUser(status) && (isClosedToOthers(status) || (status.st_mode & S_ISVTX) != 0);
}

void prependLevels(std::deque<std::string>& pending, const std::string& path)
{
    std::vector<std::string> levels;
    for (std::string::size_type begin = 0; begin <= path.size();) {
        std::string::size_type end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        if (end > begin)
            levels.push_back(path.substr(begin, end - begin));
        begin = end + 1;
    }
    pending.insert(pending.begin(), levels.begin(), levels.end());
}

} // namespace

std::optional<std::string> resolveSafePath(const std::string& path, MissingLevel missing)
{
    struct stat status;
    if (path.empty() || path.front() != '/' || ::lstat("/", &status) != 0 || !isSafeFolder(status))
        return std::nullopt;
    std::string resolved; // empty for the root
    std::deque<std::string> pending;
    prependLevels(pending, path);
    int links = 0;
    while (!pending.empty()) {
        const std::string name = pending.front();
        pending.pop_front();
        if (name == ".")
            continue;
        if (name == "..") {
            if (!resolved.empty())
                resolved.erase(resolved.rfind('/'));
            continue;
        }
        const std::string level = resolved + "/" + name;
        if (::lstat(level.c_str(), &status) != 0) {
            if (errno != ENOENT)
                return std::nullopt;
            if (missing == MissingLevel::AllowLast && pending.empty())
                return level;
            if (missing != MissingLevel::MakeFolder || (::mkdir(level.c_str(), S_IRWXU) != 0 && errno != EEXIST) ||
                ::lstat(level.c_str(), &status) != 0)
                return std::nullopt;
        }
        if (S_ISLNK(status.st_mode)) {
            std::vector<char> target(size_t(status.st_size) + 2);
            const ssize_t length = ::readlink(level.c_str(), target.data(), target.size());
            if (!isOwnedByRootOrUser(status) || ++links > kLinkLimit || length <= 0 || size_t(length) >= target.size())
                return std::nullopt;
            const std::string leadsTo(target.data(), size_t(length));
            if (leadsTo.front() == '/')
                resolved.clear();
            prependLevels(pending, leadsTo);
            continue;
        }
        const bool safe = S_ISDIR(status.st_mode)
            ? isSafeFolder(status)
            : S_ISREG(status.st_mode) && pending.empty() && isOwnedByRootOrUser(status) && isClosedToOthers(status);
        if (!safe)
            return std::nullopt;
        resolved = level;
    }
    return resolved.empty() ? std::string("/") : resolved;
}

} // namespace Tessit
