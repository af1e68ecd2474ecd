#ifndef KAVO_UNIX_KXNATIVEPATH_H
#define KAVO_UNIX_KXNATIVEPATH_H

#include <string>

namespace Kavo {

class KxString;

// Text as UTF-8, surrogate pairs joined; empty when it cannot be encoded.
std::string _kx_utf8_text(const KxString& text);

// A path as the system takes it: UTF-8, with every '\' as '/' (packaged
// names separate folder levels with '\', and here that is what they mean).
std::string _kx_native_path(const KxString& path);

// A path the system reported, as text.
KxString _kx_path_from_native(const std::string& path);

} // namespace Kavo

#endif
