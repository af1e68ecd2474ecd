#ifndef TESSIT_PLATFORM_WINDOWS_WIN32TEXT_H
#define TESSIT_PLATFORM_WINDOWS_WIN32TEXT_H

#include "KxFoundation/KxString.h"

#include <windows.h>

namespace Tessit {

// Text, paths included, as the wide Win32 calls take it: its own UTF-16
// units, terminated, valid while the text is.
inline LPCWSTR wide(const Kavo::KxString& text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

// As wide(), but null for the empty text, where a call takes null for "none".
inline LPCWSTR wideOrNull(const Kavo::KxString& text) { return text.length() != 0 ? wide(text) : nullptr; }

} // namespace Tessit

#endif
