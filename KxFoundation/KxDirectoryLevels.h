#ifndef KAVO_KXDIRECTORYLEVELS_H
#define KAVO_KXDIRECTORYLEVELS_H

#include "KxFoundation/KxString.h"

#include <vector>

namespace Kavo {

// The prefixes createDirectories looks at, in order, the whole path last:
// one per '\' that closes a level (not the first character, not after ':'
// or another '\'), after one trailing '\' is dropped.
std::vector<KxString> _kx_directory_levels(const KxString& path);

} // namespace Kavo

#endif
