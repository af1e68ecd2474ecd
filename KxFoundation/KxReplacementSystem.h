#ifndef KAVO_KXREPLACEMENTSYSTEM_H
#define KAVO_KXREPLACEMENTSYSTEM_H

#include "KxFoundation/KxReplacement.h"

#include <cstdint>
#include <functional>

namespace Kavo {

// The system's half of KxReplacement, one implementation per platform.
// Every name is one level of the open folder `folder` (a KxFolder handle).

// Makes `part` as a new file, failing where anything (a link included) has
// its name, with the access asked for (KeepTarget reads `target`): a
// descriptor, or -1.
int32_t _kx_replacement_create(intptr_t folder, const KxString& part, const KxString& target,
                               KxReplacementAccess access);

// Gives `part` the name `target`, replacing what has it (a link is
// replaced, never followed).
bool _kx_replacement_rename(intptr_t folder, const KxString& part, const KxString& target);

// Removes `part`'s name; a link is removed, not what it leads to.
bool _kx_replacement_remove(intptr_t folder, const KxString& part);

// Removes each regular file of the running user in `folder` whose name
// `isLeftover` accepts.
void _kx_replacement_sweep(intptr_t folder, const std::function<bool(const KxString& name)>& isLeftover);

} // namespace Kavo

#endif
