#ifndef TESSIT_TESTS_SUPPORT_LAUNCHERTEXTLINE_H
#define TESSIT_TESTS_SUPPORT_LAUNCHERTEXTLINE_H

#include "KxFoundation/KxString.h"
#include "texts/LauncherTexts.h"

namespace Tessit {

// One of the launcher's texts with its one text filled in, as the launcher
// writes it.
inline Kavo::KxString launcherText(const char16_t* format, const Kavo::KxString& text)
{
    Kavo::KxString line;
    line.format(format, &text);
    return line;
}

} // namespace Tessit

#endif
