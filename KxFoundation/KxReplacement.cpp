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

} // namespace

KxReplacement::KxReplacement(const KxString& target, const KxString& kind, KxReplacementAccess access)
    : m_target(target), m_kind(kind), m_access(access)
{
}

KxReplacement::~KxReplacement() { discard(); }

bool KxReplacement::create()
{
    discard();
    std::random_device random;
    for (int attempt = 0; attempt < kPartNameAttempts; ++attempt) {
        m_partPath.format(u"%@%@%08x", &m_target, &m_kind, uint32_t(random()));
        m_file.descriptor = _kx_replacement_create(m_partPath, m_target, m_access);
        if (m_file.isOpen())
            return true;
    }
    m_partPath = KxString();
    return false;
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
    if (m_partPath.length() == 0 || !replaceFile(m_partPath, m_target))
        return false;
    m_partPath = KxString();
    return true;
}

void KxReplacement::discard()
{
    m_file.close();
    if (m_partPath.length() != 0)
        removeFile(m_partPath);
    m_partPath = KxString();
}

void removeReplacementLeftovers(const KxString& folder, const KxString& kind)
{
    _kx_replacement_sweep(folder, [&kind](const KxString& name) { return isPartName(name, kind, nullptr); });
}

void removeReplacementLeftoversOf(const KxString& target, const KxString& kind)
{
    KxString folder(target);
    removeLastPathComponent(folder);
    const KxString name = lastPathComponent(target);
    _kx_replacement_sweep(folder, [&](const KxString& candidate) { return isPartName(candidate, kind, &name); });
}

} // namespace Kavo
