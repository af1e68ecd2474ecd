#include "Windows/Win32Registry.h"

#include "KxFoundation/KxString.h"

#include <windows.h>

namespace Tessit {

namespace {

class Win32RegistryKey : public RegistryKey {
public:
    explicit Win32RegistryKey(HKEY key) : m_key(key) {}
    ~Win32RegistryKey() override { RegCloseKey(m_key); }
    Win32RegistryKey(const Win32RegistryKey&) = delete;
    Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

    ValueQuery queryValue(const KxString& name) override
    {
        switch (RegQueryValueExW(m_key, wideUnits(name), nullptr, nullptr, nullptr, nullptr)) {
        case ERROR_SUCCESS: return ValueQuery::Present;
        case ERROR_FILE_NOT_FOUND: return ValueQuery::Missing;
        default: return ValueQuery::Failed;
        }
    }
    bool deleteValue(const KxString& name) override { return RegDeleteValueW(m_key, wideUnits(name)) == ERROR_SUCCESS; }

private:
    HKEY m_key;
};

} // namespace

std::unique_ptr<RegistryKey> openCurrentUserRegistryKey(const KxString& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wideUnits(path), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

bool writeCurrentUserDword(const KxString& path, const KxString& entry, int32_t value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, wideUnits(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_READ, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD data = static_cast<DWORD>(value);
    const LONG result = RegSetValueExW(key, wideUnits(entry), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                       sizeof(data));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace Tessit
