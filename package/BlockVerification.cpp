#include "package/BlockVerification.h"

namespace Tessit {

InlineVerification::InlineVerification(SignatureVerification& verification)
    : m_verification(verification), m_block(COPY_CHUNK_SIZE)
{
}

void InlineVerification::handOver(uint64_t offset, uint32_t count)
{
    m_verification.add(offset, m_block.data(), count);
}

} // namespace Tessit
