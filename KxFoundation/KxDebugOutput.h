#ifndef KAVO_KXDEBUGOUTPUT_H
#define KAVO_KXDEBUGOUTPUT_H

namespace Kavo {

class KxString;

// Sends one line to the debugger: OutputDebugStringW on Windows; standard
// error, as UTF-8, where the platform has no debugger channel.
void _kx_output_debug_line(const KxString& line);

} // namespace Kavo

#endif
