#ifndef KAVO_KXMINIDUMP_H
#define KAVO_KXMINIDUMP_H

#include <string>

namespace Kavo {

class KxString;
struct KxExceptionPointers;

// Readies the platform's minidump writer once; false when the platform has
// none (Windows without its debug-help library).
bool _kx_minidump_available();

// A dump's path as the writer below takes it: UTF-8, in the system's form.
std::string _kx_minidump_path(const KxString& path);

// Writes a normal minidump of the current process into a new file at `path`
// (an existing one is replaced), recording the exception when one is given.
// Failures leave whatever was written. On Unix this allocates nothing and
// takes no lock, so a fault handler may call it; on Windows concurrent
// requests are written one after the other.
void _kx_write_minidump(const char* path, const KxExceptionPointers* exceptionPointers);

} // namespace Kavo

#endif
