#ifndef TESSIT_PLATFORM_APPLICATIONNAME_H
#define TESSIT_PLATFORM_APPLICATIONNAME_H

#include "KxFoundation/KxString.h"

namespace Tessit {

// The name the framework gives an application built without a title: the
// executable's file name without its extension.
Kavo::KxString applicationNameFromPath(const Kavo::KxString& executablePath);

} // namespace Tessit

#endif
