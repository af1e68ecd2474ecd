#include "TempFolder.h"

#include <windows.h>

namespace Tessit {

using Kavo::KxString;

namespace {

constexpr DWORD kTempPathUnits = MAX_PATH;

} // namespace

// A path that does not fit leaves the buffer empty.
KxString userTempFolder()
{
    wchar_t buffer[kTempPathUnits] = {};
    const DWORD length = GetTempPathW(kTempPathUnits, buffer);
    if (length == 0 || length >= kTempPathUnits)
        return KxString();
    // TMP and TEMP may name a folder that is gone or is a file; extracting
    // there would create nothing and the run would go on without a word.
    const DWORD attributes = GetFileAttributesW(buffer);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return KxString();
    return KxString(buffer);
}

} // namespace Tessit
