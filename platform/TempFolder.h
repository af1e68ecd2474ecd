#ifndef TESSIT_PLATFORM_TEMPFOLDER_H
#define TESSIT_PLATFORM_TEMPFOLDER_H

#include "KxFoundation/KxString.h"

namespace Tessit {

// The launcher's temporary folder on this system, ending in a separator;
// empty when there is none that may be used (Platform::tempFolder).
Kavo::KxString userTempFolder();

} // namespace Tessit

#endif
