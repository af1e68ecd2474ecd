#ifndef TESSIT_APP_LAUNCHSETTINGS_H
#define TESSIT_APP_LAUNCHSETTINGS_H

#include "KxFoundation/KxString.h"

#include <cstdint>

namespace Tessit {

// The launch settings the options give; the debug flag comes from the raw
// argument text instead (DebugRequested).
struct LaunchSettings {
    bool diagnosis = false;
    int32_t oemId = -1; // the OEM override; -1 for none
    Kavo::KxString modelName;
};

} // namespace Tessit

#endif
