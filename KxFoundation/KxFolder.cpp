#include "KxFoundation/KxFolder.h"

#include "KxFolderSystem.h"

#include <utility>

namespace Kavo {

KxFolder::KxFolder(KxFolder&& other) noexcept
    : m_handle(std::exchange(other.m_handle, kClosed)), m_path(std::move(other.m_path))
{
}

KxFolder& KxFolder::operator=(KxFolder&& other) noexcept
{
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, kClosed);
        m_path = std::move(other.m_path);
    }
    return *this;
}

KxFolder::~KxFolder() { close(); }

bool KxFolder::open(const KxString& path)
{
    close();
    m_handle = _kx_folder_open(path);
    if (!isOpen())
        return false;
    m_path = path;
    const uint32_t length = path.length();
    if (length == 0 || (path.c_str()[length - 1] != u'\\' && path.c_str()[length - 1] != u'/'))
        m_path += std::u16string(1, _kx_folder_separator).c_str();
    return true;
}

bool KxFolder::openLevel(const KxFolder& parent, const KxString& name)
{
    close();
    if (!parent.isOpen())
        return false;
    m_handle = _kx_folder_open_level(parent.m_handle, name);
    if (!isOpen())
        return false;
    m_path = parent.m_path + name + std::u16string(1, _kx_folder_separator).c_str();
    return true;
}

bool KxFolder::makeLevel(const KxString& name, KxFolderAccess access) const
{
    return isOpen() && _kx_folder_make_level(m_handle, name, access);
}

bool KxFolder::removeLevel(const KxString& name) const { return isOpen() && _kx_folder_remove_level(m_handle, name); }

KxFolderEntry KxFolder::entry(const KxString& name) const
{
    return isOpen() ? _kx_folder_entry(m_handle, name) : KxFolderEntry::Missing;
}

void KxFolder::close()
{
    if (!isOpen())
        return;
    _kx_folder_close(m_handle);
    m_handle = kClosed;
    m_path = KxString();
}

} // namespace Kavo
