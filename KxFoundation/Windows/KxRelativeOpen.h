#ifndef KAVO_WINDOWS_KXRELATIVEOPEN_H
#define KAVO_WINDOWS_KXRELATIVEOPEN_H

#include "KxFoundation/KxString.h"

#include <windows.h>

namespace Kavo {

// Names looked up from an open folder handle, through the system's native
// calls, never through a reparse point: Win32's calls take only whole
// paths, which a swapped level would lead elsewhere. `name` is one level,
// taken as it is (no dots or spaces are dropped, no device names apply).

struct KxRelativeOpen {
    ACCESS_MASK access;
    ULONG share;
    ULONG disposition; // FILE_OPEN, FILE_CREATE
    ULONG options;     // FILE_DIRECTORY_FILE, FILE_NON_DIRECTORY_FILE, ...
};

// The handle, or INVALID_HANDLE_VALUE; `status` (when given) gets the
// system's status either way.
HANDLE _kx_open_relative(HANDLE folder, const KxString& name, const KxRelativeOpen& how, LONG* status = nullptr);

// True when the open `file` is a reparse point, or its attributes cannot be read.
bool _kx_is_reparse_point(HANDLE file);

// Gives the open `file` the name `name` in `folder`, replacing a file
// there (a reparse point is replaced, not followed). The handle needs
// DELETE access.
bool _kx_rename_relative(HANDLE file, HANDLE folder, const KxString& name);

} // namespace Kavo

#endif
