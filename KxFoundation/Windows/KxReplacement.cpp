#include "KxReplacementSystem.h"

#include "KxFileDescriptor.h"
#include "KxFoundation/Windows/KxNativePath.h"

#include <windows.h>

namespace Kavo {

// Access follows the folder: Windows has no mode to set. The part is made
// with CREATE_NEW, never through a reparse point.
int32_t _kx_replacement_create(const KxString& part, const KxString&, KxReplacementAccess)
{
    return _kx_descriptor_open(part, KxOpenMode::CreateNew);
}

// Files the user may delete are the user's to clear here; reparse points
// and folders are passed over.
void _kx_replacement_sweep(const KxString& folder, const std::function<bool(const KxString& name)>& isLeftover)
{
    std::wstring base = nativePath(folder);
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base += L'\\';
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((base + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
            isLeftover(KxString(found.cFileName)))
            DeleteFileW((base + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace Kavo
