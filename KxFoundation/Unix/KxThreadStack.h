#ifndef KAVO_UNIX_KXTHREADSTACK_H
#define KAVO_UNIX_KXTHREADSTACK_H

#include <cstdint>

namespace Kavo {

// Addresses [start, end) of a thread's stack; empty when unknown.
struct KxStackRange {
    uint64_t start = 0;
    uint64_t end = 0;
};

// The calling thread's stack, without the arguments and environment above
// the main thread's first frame. It may allocate: a fault handler uses a
// range found before the fault.
KxStackRange _kx_current_thread_stack();

} // namespace Kavo

#endif
