#ifndef KAVO_UNIX_KXNATIVEPATH_H
#define KAVO_UNIX_KXNATIVEPATH_H

#include <string>

namespace Kavo {

class KxString;

// Paths and text as the system's calls take and report them.
//
// Packaged names separate folder levels with '\', and here that is what
// every '\' of a path means. A '\' in a name the system reported is part of
// that name instead: in text it is held as this private-use unit, so that it
// is never read as a separator, and it turns back into '\' on the way out.
constexpr char16_t kKxNativeBackslash = 0xF05C;

// Text as UTF-8, surrogate pairs joined, a held native backslash as '\';
// empty when it cannot be encoded.
std::string utf8Text(const KxString& text);

// A path as the system takes it: UTF-8, with every '\' as '/' and every held
// native backslash as '\'.
std::string nativePath(const KxString& path);

// A path the system reported, as text, its own backslashes held apart.
KxString pathFromNative(const std::string& path);

} // namespace Kavo

#endif
