#ifndef TESSIT_PLATFORM_UNIX_POSIXPROCESS_H
#define TESSIT_PLATFORM_UNIX_POSIXPROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Tessit {

// Starts the program at the path arguments[0] (never searched for: a bare
// name is refused) with the process's environment and inheritable
// descriptors, in `folder` unless that is empty. The child's id, or nothing
// when it could not be started.
std::optional<pid_t> spawnProgram(const std::vector<std::string>& arguments, const std::string& folder);

// Waits without limit for the child to end. Its exit status, 128 plus the
// signal for one that a signal ended, or nothing when it cannot be waited for.
std::optional<uint32_t> waitForExit(pid_t child);

// The first executable file called `name` in an absolute folder of PATH;
// empty when there is none. Relative and empty elements, which stand for the
// current folder, are passed over.
std::string findOnPath(const std::string& name);

} // namespace Tessit

#endif
