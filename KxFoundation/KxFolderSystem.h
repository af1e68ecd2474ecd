#ifndef KAVO_KXFOLDERSYSTEM_H
#define KAVO_KXFOLDERSYSTEM_H

#include "KxFoundation/KxFolder.h"

#include <cstdint>

namespace Kavo {

// The system's half of KxFolder, one implementation per platform. Handles
// are descriptors or Windows handles; -1 reports failure. `name` is one
// level, without separators.

intptr_t _kx_folder_open(const KxString& path);
intptr_t _kx_folder_open_level(intptr_t parent, const KxString& name);
bool _kx_folder_make_level(intptr_t folder, const KxString& name, KxFolderAccess access);
bool _kx_folder_remove_level(intptr_t folder, const KxString& name);
KxFolderEntry _kx_folder_entry(intptr_t folder, const KxString& name);
void _kx_folder_close(intptr_t folder);
// The separator the system's paths put between levels.
extern const char16_t _kx_folder_separator;

} // namespace Kavo

#endif
