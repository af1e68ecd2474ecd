#ifndef KAVO_UNIX_KXEXCEPTIONPOINTERS_H
#define KAVO_UNIX_KXEXCEPTIONPOINTERS_H

#include <signal.h>
#include <ucontext.h>

namespace Kavo {

// A fault signal as its handler receives it: what happened, and the
// faulting thread's registers at that moment.
struct KxExceptionPointers {
    const siginfo_t* info;
    const ucontext_t* context;
};

} // namespace Kavo

#endif
