#include "package/BlockVerification.h"
#include "package/VerificationThread.h"

namespace Tessit {

// The digest on a core of its own, so that a signed run takes about as long
// as an unsigned one.
std::unique_ptr<BlockVerification> hostBlockVerification(SignatureVerification& verification)
{
    return std::make_unique<VerificationThread>(verification);
}

} // namespace Tessit
