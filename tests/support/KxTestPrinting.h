#ifndef TESSIT_TESTS_KXTESTPRINTING_H
#define TESSIT_TESTS_KXTESTPRINTING_H

#include "KxFoundation/KxConversion.h"
#include "KxFoundation/KxString.h"

#include <ostream>

namespace Kavo {

// Lets test failures show KxString values as readable text.
inline void PrintTo(const KxString& text, std::ostream* stream)
{
    *stream << '"' << text.toNarrow(_kx_conversion_locale()) << '"';
}

} // namespace Kavo

#endif
