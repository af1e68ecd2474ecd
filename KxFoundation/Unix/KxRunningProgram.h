#ifndef KAVO_UNIX_KXRUNNINGPROGRAM_H
#define KAVO_UNIX_KXRUNNINGPROGRAM_H

namespace Kavo {

// The kernel's link to the running program's own file: it names the file
// the image was loaded from, with every link on the way resolved, and opens
// it even after it was renamed or removed.
inline constexpr char kRunningProgramFile[] = "/proc/self/exe";

} // namespace Kavo

#endif
