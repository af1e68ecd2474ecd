#ifndef TESSIT_PLATFORM_WINDOWS_WIN32REGISTRY_H
#define TESSIT_PLATFORM_WINDOWS_WIN32REGISTRY_H

#include "platform/Platform.h"

#include <memory>

namespace Tessit {

// HKEY_CURRENT_USER\<path> opened with all access; null when it cannot be.
std::unique_ptr<RegistryKey> openCurrentUserRegistryKey(const KxString& path);

// Writes `value` as a REG_DWORD named `entry` under HKEY_CURRENT_USER\<path>,
// creating the missing keys, as the framework's profile does. False when
// nothing was written.
bool writeCurrentUserDword(const KxString& path, const KxString& entry, int32_t value);

} // namespace Tessit

#endif
