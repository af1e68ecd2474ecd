#ifndef KAVO_WINDOWS_KXNATIVEPATH_H
#define KAVO_WINDOWS_KXNATIVEPATH_H

#include <string>

namespace Kavo {

class KxString;

// A path as the wide C runtime and Win32 calls take it: the text unchanged.
std::wstring nativePath(const KxString& path);

} // namespace Kavo

#endif
