#include "Unix/SafePath.h"

#include "Unix/PrivateGroup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <vector>

namespace Tessit {

namespace {

// As many links as the system itself follows in one path.
constexpr int kLinkLimit = 40;

bool isOwnedByRootOrUser(const struct stat& status) { return status.st_uid == 0 || status.st_uid == ::geteuid(); }

// Why someone other than root and the user could change what `status`
// describes, or nothing. Whoever may write into a folder may rename its
// entries and put others in their place after they were checked; the sticky
// bit keeps each user to their own entries. Whoever may write to a file may
// change what was read from it. A private group's only member is the owner.
std::optional<std::string> whyOthersMayWrite(const struct stat& status)
{
    if (!isOwnedByRootOrUser(status))
        return "it belongs to another user than root and the running one";
    if (S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) != 0)
        return std::nullopt;
    if ((status.st_mode & S_IWOTH) != 0)
        return "others may write to it";
    if ((status.st_mode & S_IWGRP) != 0 && !isPrivateGroupOf(status.st_gid, status.st_uid))
        return "its group may write to it and has other members than its owner";
    return std::nullopt;
}

std::string userText(uid_t user)
{
    const passwd* entry = ::getpwuid(user);
    return std::to_string(user) + (entry ? std::string(" (") + entry->pw_name + ")" : std::string());
}

std::string groupText(gid_t group)
{
    const struct group* entry = ::getgrgid(group);
    return std::to_string(group) + (entry ? std::string(" (") + entry->gr_name + ")" : std::string());
}

ResolvedPath refused(const std::string& level, const std::string& reason)
{
    return ResolvedPath{std::nullopt, (level.empty() ? std::string("/") : level) + ": " + reason};
}

ResolvedPath refused(const std::string& level, const struct stat& status, const std::string& reason)
{
    return refused(level, ownerAndMode(status) + ": " + reason);
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

std::string ownerAndMode(const struct stat& status)
{
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(status.st_mode & 07777));
    return "owner " + userText(status.st_uid) + ", group " + groupText(status.st_gid) + ", mode " + mode;
}

ResolvedPath resolveSafePath(const std::string& path, MissingLevel missing)
{
    if (path.empty() || path.front() != '/')
        return refused(path, "not an absolute path");
    struct stat status;
    if (::lstat("/", &status) != 0)
        return refused("/", std::strerror(errno));
    if (const std::optional<std::string> reason = whyOthersMayWrite(status))
        return refused("/", status, *reason);
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
                return refused(level, std::strerror(errno));
            if (missing == MissingLevel::AllowLast && pending.empty())
                return ResolvedPath{level, {}};
            if (missing != MissingLevel::MakeFolder)
                return refused(level, std::strerror(ENOENT));
            if ((::mkdir(level.c_str(), S_IRWXU) != 0 && errno != EEXIST) || ::lstat(level.c_str(), &status) != 0)
                return refused(level, std::string("cannot be made: ") + std::strerror(errno));
        }
        if (S_ISLNK(status.st_mode)) {
            if (!isOwnedByRootOrUser(status))
                return refused(level, status, "a link that belongs to another user than root and the running one");
            if (++links > kLinkLimit)
                return refused(level, "more than " + std::to_string(kLinkLimit) + " links on the way");
            std::vector<char> target(size_t(status.st_size) + 2);
            const ssize_t length = ::readlink(level.c_str(), target.data(), target.size());
            if (length <= 0 || size_t(length) >= target.size())
                return refused(level, status, "a link that cannot be read");
            const std::string leadsTo(target.data(), size_t(length));
            if (leadsTo.front() == '/')
                resolved.clear();
            prependLevels(pending, leadsTo);
            continue;
        }
        if (!S_ISDIR(status.st_mode) && !(S_ISREG(status.st_mode) && pending.empty()))
            return refused(level, status, pending.empty() ? "neither a folder nor a regular file" : "not a folder");
        if (const std::optional<std::string> reason = whyOthersMayWrite(status))
            return refused(level, status, *reason);
        resolved = level;
    }
    return ResolvedPath{resolved.empty() ? std::string("/") : resolved, {}};
}

} // namespace Tessit
