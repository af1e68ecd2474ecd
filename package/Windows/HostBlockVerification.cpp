#include "package/BlockVerification.h"

namespace Tessit {

// The digest on the reader's own thread. A thread of its own would make a
// signed run faster here too, but where the project's machines run the
// 32-bit launcher, they run it under qemu-user 7.2, which breaks a 32-bit
// Wine process once it has started a second thread: a thread that cannot be
// tested is left out of the launcher users run.
std::unique_ptr<BlockVerification> hostBlockVerification(SignatureVerification& verification)
{
    return std::make_unique<InlineVerification>(verification);
}

} // namespace Tessit
