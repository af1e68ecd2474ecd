#ifndef KAVO_KXREPLACEMENTSYSTEM_H
#define KAVO_KXREPLACEMENTSYSTEM_H

#include "KxFoundation/KxReplacement.h"

#include <cstdint>
#include <functional>

namespace Kavo {

// The system's half of KxReplacement, one implementation per platform.

// Makes `part` as a new file, failing where anything (a link included) has
// its name, with the access asked for (KeepTarget reads `target`): a
// descriptor, or -1.
int32_t _kx_replacement_create(const KxString& part, const KxString& target, KxReplacementAccess access);

// Removes each regular file of the running user in `folder` whose name
// `isLeftover` accepts.
void _kx_replacement_sweep(const KxString& folder, const std::function<bool(const KxString& name)>& isLeftover);

} // namespace Kavo

#endif
