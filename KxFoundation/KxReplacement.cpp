#include "KxFoundation/KxReplacement.h"

#include "KxFoundation/KxPath.h"
#include "KxReplacementSystem.h"

#include <random>

namespace Kavo {

namespace {

constexpr int kPartNameAttempts = 16;
constexpr uint32_t kPartNumberDigits = 8;

bool isLowerHexDigit(char16_t unit) { return (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'f'); }

// `name` is `<prefix><kind><8 hex digits>` with a prefix that is not empty
// and, where `prefix` is given, is that.
bool isPartName(const KxString& name, const KxString& kind, const KxString* prefix)
{
    const uint32_t suffix = kind.length() + kPartNumberDigits;
    if (name.length() <= suffix)
        return false;
    const uint32_t prefixLength = name.length() - suffix;
    if (name.substring(prefixLength, kind.length()) != kind)
        return false;
    for (uint32_t index = prefixLength + kind.length(); index < name.length(); ++index)
        if (!isLowerHexDigit(name.c_str()[index]))
            return false;
    return !prefix || name.substring(0, prefixLength) == *prefix;
}

// The folder part of `target`, its final separator kept, so that a root
// ('/', 'C:\') stays one; the current folder for a bare name.
KxString folderOf(const KxString& target)
{
    const KxString folder = target.substring(0, target.length() - lastPathComponent(target).length());
    return folder.length() != 0 ? folder : KxString(u".");
}

} // namespace

KxReplacement::KxReplacement(const KxFolder& folder, const KxString& name, const KxString& kind,
                             KxReplacementAccess access)
    : m_folder(&folder), m_name(name), m_kind(kind), m_access(access)
{
}

KxReplacement::KxReplacement(const KxString& target, const KxString& kind, KxReplacementAccess access)
    : m_folderPath(folderOf(target)), m_folder(&m_ownFolder), m_name(lastPathComponent(target)), m_kind(kind),
      m_access(access)
{
}

KxReplacement::~KxReplacement() { discard(); }

bool KxReplacement::create()
{
    discard();
    if (m_folderPath.length() != 0 && !m_ownFolder.isOpen() && !m_ownFolder.open(m_folderPath))
        return false;
    if (!m_folder->isOpen())
        return false;
    std::random_device random;
    for (int attempt = 0; attempt < kPartNameAttempts; ++attempt) {
        m_partName.format(u"%@%@%08x", &m_name, &m_kind, uint32_t(random()));
        m_file.descriptor = _kx_replacement_create(m_folder->handle(), m_partName, m_name, m_access);
        if (m_file.isOpen())
            return true;
    }
    m_partName = KxString();
    return false;
}

KxString KxReplacement::partPath() const
{
    return m_partName.length() != 0 ? m_folder->path() + m_partName : KxString();
}

bool KxReplacement::finish()
{
    const bool whole = m_file.flush() == 0;
    m_file.close();
    return whole;
}

bool KxReplacement::commit()
{
    m_file.close();
    if (m_partName.length() == 0 || !_kx_replacement_rename(m_folder->handle(), m_partName, m_name))
        return false;
    m_partName = KxString();
    return true;
}

void KxReplacement::discard()
{
    m_file.close();
    if (m_partName.length() != 0)
        _kx_replacement_remove(m_folder->handle(), m_partName);
    m_partName = KxString();
}

void removeReplacementLeftovers(const KxFolder& folder, const KxString& kind)
{
    if (folder.isOpen())
        _kx_replacement_sweep(folder.handle(), [&kind](const KxString& name) { return isPartName(name, kind, nullptr); });
}

void removeReplacementLeftoversOf(const KxString& target, const KxString& kind)
{
    KxFolder folder;
    if (!folder.open(folderOf(target)))
        return;
    const KxString name = lastPathComponent(target);
    _kx_replacement_sweep(folder.handle(), [&](const KxString& candidate) { return isPartName(candidate, kind, &name); });
}

} // namespace Kavo
