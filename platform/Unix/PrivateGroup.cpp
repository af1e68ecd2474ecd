#include "Unix/PrivateGroup.h"

#include <grp.h>
#include <pwd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

namespace Tessit {

namespace {

constexpr size_t kFirstBufferSize = 4096;
// Far beyond any real entry: a database that still answers ERANGE is not
// waited for without end.
constexpr size_t kBufferSizeLimit = 16 * 1024 * 1024;

// Calls a reentrant database look-up, `lookUp(buffer, size)` returning its
// error number, with a buffer grown for as long as it is too small. The
// look-up's error number; the buffer holds the entry's texts.
template <typename LookUp> int withGrowingBuffer(std::vector<char>& buffer, LookUp lookUp)
{
    buffer.resize(kFirstBufferSize);
    for (;;) {
        const int error = lookUp(buffer.data(), buffer.size());
        if (error != ERANGE || buffer.size() >= kBufferSizeLimit)
            return error;
        buffer.resize(buffer.size() * 2);
    }
}

// The names on the group's member list; nothing for an unknown group.
std::optional<std::vector<std::string>> memberList(gid_t group)
{
    std::vector<char> buffer;
    struct group entry {};
    struct group* found = nullptr;
    const int error = withGrowingBuffer(
        buffer, [&](char* texts, size_t size) { return getgrgid_r(group, &entry, texts, size, &found); });
    if (error != 0 || !found)
        return std::nullopt;
    std::vector<std::string> names;
    for (char** name = entry.gr_mem; name && *name; ++name)
        names.emplace_back(*name);
    return names;
}

std::optional<uid_t> userIdOf(const std::string& name)
{
    std::vector<char> buffer;
    struct passwd entry {};
    struct passwd* found = nullptr;
    const int error = withGrowingBuffer(
        buffer, [&](char* texts, size_t size) { return getpwnam_r(name.c_str(), &entry, texts, size, &found); });
    return error == 0 && found ? std::optional<uid_t>(entry.pw_uid) : std::nullopt;
}

enum class PrimaryMembers { None, OwnerAlone, Others };

// Who has the group as their primary group, read from every user entry;
// a database that cannot be read to its end may hide others.
PrimaryMembers primaryMembers(gid_t group, uid_t owner)
{
    PrimaryMembers members = PrimaryMembers::None;
    std::vector<char> buffer;
    setpwent();
    for (;;) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        const int error =
            withGrowingBuffer(buffer, [&](char* texts, size_t size) { return getpwent_r(&entry, texts, size, &found); });
        if (error == ENOENT || (error == 0 && !found))
            break;
        if (error != 0) {
            members = PrimaryMembers::Others;
            break;
        }
        if (entry.pw_gid != group)
            continue;
        if (entry.pw_uid != owner) {
            members = PrimaryMembers::Others;
            break;
        }
        members = PrimaryMembers::OwnerAlone;
    }
    endpwent();
    return members;
}

} // namespace

// A name on the member list counts as the owner when it names the owner's
// user id, so that another name for the same account is no other member.
bool isPrivateGroupOf(gid_t group, uid_t owner)
{
    const std::optional<std::vector<std::string>> listed = memberList(group);
    if (!listed)
        return false;
    for (const std::string& name : *listed) {
        if (userIdOf(name) != owner)
            return false;
    }
    const PrimaryMembers primary = primaryMembers(group, owner);
    return primary == PrimaryMembers::OwnerAlone || (primary == PrimaryMembers::None && !listed->empty());
}

} // namespace Tessit
