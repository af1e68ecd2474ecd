#include "KxDebugOutput.h"

#include "KxFoundation/KxString.h"

#include <cstdio>

namespace Kavo {

void _kx_output_debug_line(const KxString& line)
{
    const std::string narrow = line.toNarrow();
    std::fwrite(narrow.data(), 1, narrow.size(), stderr);
    std::fflush(stderr);
}

} // namespace Kavo
