#ifndef TESSIT_PLATFORM_UNIX_PRIVATEGROUP_H
#define TESSIT_PLATFORM_UNIX_PRIVATEGROUP_H

#include <sys/types.h>

namespace Tessit {

// Whether `group` is `owner`'s private group (USERGROUPS_ENAB): it has
// members and every one of them is `owner`, counting the users whose primary
// group it is as well as the names on its member list. Granting such a group
// write access grants it to nobody but the owner. False for a group without
// members (setgid programs' groups) and where a member list name is no known
// user, since whom it stands for cannot be told.
bool isPrivateGroupOf(gid_t group, uid_t owner);

} // namespace Tessit

#endif
