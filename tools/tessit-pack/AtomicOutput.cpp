#include "AtomicOutput.h"

#include "PackError.h"
#include "PathText.h"
#include "Runnable.h"

#include <random>
#include <string>
#include <system_error>

namespace Tessit {

namespace fs = std::filesystem;

namespace {

fs::path temporaryBeside(const fs::path& target)
{
    std::random_device random;
    fs::path name = target.filename();
    name += ".tessit-pack-" + std::to_string(random()) + ".tmp";
    return target.parent_path() / name;
}

} // namespace

AtomicOutput::AtomicOutput(const fs::path& target) : m_path(temporaryBeside(target))
{
    if (!m_file.create(fileText(m_path)))
        throw PackError(target, "cannot write beside it");
}

AtomicOutput::~AtomicOutput()
{
    if (m_path.empty())
        return;
    m_file.close();
    std::error_code ignored;
    fs::remove(m_path, ignored);
}

// The device writes while the next block is copied, so the flush in
// finish() has little left to wait for.
void AtomicOutput::write(const uint8_t* bytes, uint32_t count)
{
    if (m_file.write(bytes, count) != int32_t(count))
        throw PackError(m_path, "write failed");
    m_file.startWriteback();
}

const fs::path& AtomicOutput::finish()
{
    if (m_file.flush() != 0)
        throw PackError(m_path, "cannot be forced to disk");
    m_file.close();
    return m_path;
}

void AtomicOutput::commit(const fs::path& target)
{
    markRunnable(m_path);
    fs::rename(m_path, target);
    m_path.clear();
}

} // namespace Tessit
