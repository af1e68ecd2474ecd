#ifndef TESSIT_PLATFORM_UNIX_TEMPFOLDERCHOICE_H
#define TESSIT_PLATFORM_UNIX_TEMPFOLDERCHOICE_H

#include "KxFoundation/KxString.h"

#include <string>

namespace Tessit {

// The private folder userTempFolder gives, or why there is none.
struct TempFolderChoice {
    Kavo::KxString folder; // ending in a separator; empty when there is none
    // When there is none: the folder the choice stopped at, its owner and
    // mode where it has them, and the reason.
    std::string refusal;
};

TempFolderChoice chooseUserTempFolder();

} // namespace Tessit

#endif
