#ifndef TESSIT_TESTS_KXTESTPRINTING_H
#define TESSIT_TESTS_KXTESTPRINTING_H

#include "KxFoundation/KxString.h"

#include <ostream>

namespace Kavo {

// Lets test failures show KxString values as readable text.
inline void PrintTo(const KxString& text, std::ostream* stream)
{
    *stream << '"' << text.toNarrow() << '"';
}

} // namespace Kavo

#endif
