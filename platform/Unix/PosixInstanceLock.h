#ifndef TESSIT_PLATFORM_UNIX_POSIXINSTANCELOCK_H
#define TESSIT_PLATFORM_UNIX_POSIXINSTANCELOCK_H

#include "platform/Platform.h"

#include <memory>
#include <string>

namespace Tessit {

// The named instance mutex as an advisory lock on the folder at `lockPath`,
// made for the user alone where it is missing.
// The lock lives as long as the returned object, and no longer than the
// process: children do not inherit it. When another process holds it,
// `alreadyExists` is set and the object owns nothing. Null when the lock
// file cannot be opened or locked.
std::unique_ptr<NamedMutex> lockInstanceFolder(const std::string& lockPath, bool& alreadyExists);

} // namespace Tessit

#endif
