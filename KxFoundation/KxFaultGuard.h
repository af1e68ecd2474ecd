#ifndef KAVO_KXFAULTGUARD_H
#define KAVO_KXFAULTGUARD_H

#include "KxDump.h"

#include <cstdint>

namespace Kavo {

class KxObject;

// The exception code a dump gives a thrown C++ exception: the code GCC's
// run time raises one with on 64-bit Windows, used on every platform.
constexpr uint32_t kKxThrownExceptionCode = 0x20474343;

// What a guarded call needs beyond its catch clauses: whatever leaves the
// called function is dumped, named after the guarded object, while the
// frames it leaves are still on the stack, and a hardware fault (access
// violation, bus error, division fault, illegal instruction, stack
// overflow) ends the call instead of the process. The frames between the
// fault and the call are abandoned, their destructors not run.
//
// Faults are seen by handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL on
// Unix, which write the dump on an alternate stack and return to the
// guarded call with siglongjmp; on Windows by an exception handler of the
// guarded call's own frame, which writes the dump and resumes there. A
// thrown exception is seen when, in the first pass of unwinding, it
// reaches the guarded call's frame: only one that leaves the called
// function does.
class KxFaultGuard {
public:
    // Everything the dump needs is made ready here, before the call.
    explicit KxFaultGuard(const KxString& name) : m_dump(_kx_dump_safe_name(name)) {}

    // Calls `function` on `object`: false when a fault ended it.
    bool call(KxObject& object, void (KxObject::*function)());

private:
    KxDumpRequest m_dump;
};

// Makes `guard` the innermost guarded call of the thread whose own pointer
// to that call is `innermost`, for the scope's life; the call it was made
// inside stays reachable through `guard.enclosing`.
template <typename Guard>
class KxInnermostGuardScope {
public:
    KxInnermostGuardScope(Guard& guard, Guard*& innermost) : m_guard(guard), m_innermost(innermost)
    {
        guard.enclosing = innermost;
        innermost = &guard;
    }
    KxInnermostGuardScope(const KxInnermostGuardScope&) = delete;
    KxInnermostGuardScope& operator=(const KxInnermostGuardScope&) = delete;
    ~KxInnermostGuardScope() { m_innermost = m_guard.enclosing; }

private:
    Guard& m_guard;
    Guard*& m_innermost;
};

// Called by the unwinder's filter for each frame a thrown exception
// reaches in the first pass of unwinding, given the start of the frame's
// function: dumps the exception when that is a guarded call's frame. The
// first such frame reached is the innermost guarded call's on this thread.
void _kx_guarded_frame_reached(uintptr_t functionStart);

} // namespace Kavo

#endif
