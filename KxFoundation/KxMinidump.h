#ifndef KAVO_KXMINIDUMP_H
#define KAVO_KXMINIDUMP_H

namespace Kavo {

class KxString;
struct KxExceptionPointers;

// Readies the platform's minidump writer once; false when the platform has
// none (Windows without its debug-help library).
bool _kx_minidump_available();

// Writes a normal minidump of the current process into a new file at `path`
// (an existing one is replaced), recording the exception when one is given.
// Failures leave whatever was written.
void _kx_write_minidump(const KxString& path, const KxExceptionPointers* exceptionPointers);

} // namespace Kavo

#endif
