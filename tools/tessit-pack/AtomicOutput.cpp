#include "AtomicOutput.h"

#include "PackError.h"
#include "PathText.h"

#include <system_error>

namespace Tessit {

namespace fs = std::filesystem;

namespace {

const Kavo::KxString kPartKind(u".tessit-pack-");

} // namespace

AtomicOutput::AtomicOutput(const fs::path& target)
    : m_target(target), m_replacement(fileText(target), kPartKind, Kavo::KxReplacementAccess::Runnable)
{
    Kavo::removeReplacementLeftoversOf(fileText(target), kPartKind);
    if (!m_replacement.create())
        throw PackError(target, "cannot write beside it");
    // The part's name is the target's with the kind and number after it.
    m_partPath = target;
    m_partPath.replace_filename(pathOf(m_replacement.partName()));
}

// The device writes while the next block is copied, so the flush in
// finish() has little left to wait for.
void AtomicOutput::write(const uint8_t* bytes, uint32_t count)
{
    if (!m_replacement.file().writeAll(bytes, count))
        throw PackError(m_partPath, "write failed");
    m_replacement.file().startWriteback();
}

const fs::path& AtomicOutput::finish()
{
    if (!m_replacement.finish())
        throw PackError(m_partPath, "cannot be forced to disk");
    return m_partPath;
}

void AtomicOutput::commit()
{
    if (!m_replacement.commit())
        throw fs::filesystem_error("cannot rename", m_partPath, m_target,
                                   std::error_code(errno, std::generic_category()));
}

} // namespace Tessit
