#ifndef KAVO_UNIX_KXEXCEPTIONPOINTERS_H
#define KAVO_UNIX_KXEXCEPTIONPOINTERS_H

#include "Unix/KxThreadStack.h"

#include <cstdint>
#include <ucontext.h>

namespace Kavo {

// What a dump records of an exception: a fault signal, or a thrown
// exception on its way out of a guarded call.
struct KxExceptionPointers {
    uint32_t code;              // the signal number, or kKxThrownExceptionCode
    uint32_t flags;             // the signal's si_code; 0 for a throw
    uint64_t address;           // the fault address, or where the throw was seen
    const ucontext_t* context;  // the thread's registers at that moment
    KxStackRange stack;         // the thread's stack, found beforehand
};

} // namespace Kavo

#endif
