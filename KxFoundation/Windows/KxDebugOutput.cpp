#include "KxDebugOutput.h"

#include "KxFoundation/KxString.h"

#include <windows.h>

namespace Kavo {

void _kx_output_debug_line(const KxString& line)
{
    OutputDebugStringW(wideUnits(line));
}

} // namespace Kavo
