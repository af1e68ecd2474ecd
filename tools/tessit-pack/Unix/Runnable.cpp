#include "Runnable.h"

#include <sys/stat.h>

namespace Tessit {

namespace fs = std::filesystem;

// 0755 less the umask; the umask can only be read by setting it, and the
// packer runs on one thread.
void markRunnable(const fs::path& file)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    fs::permissions(file, fs::perms(0755 & ~mask), fs::perm_options::replace);
}

} // namespace Tessit
