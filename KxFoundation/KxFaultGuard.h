#ifndef KAVO_KXFAULTGUARD_H
#define KAVO_KXFAULTGUARD_H

namespace Kavo {

class KxString;

// While it lives, a hardware fault on the calling thread writes a dump
// named `name`, with the fault's context, before the fault takes its normal
// course: a vectored exception handler on Windows, handlers for SIGSEGV,
// SIGBUS, SIGFPE and SIGILL on Unix. Guards nest; the innermost names the dump.
class KxFaultGuard {
public:
    explicit KxFaultGuard(const KxString& name);
    KxFaultGuard(const KxFaultGuard&) = delete;
    KxFaultGuard& operator=(const KxFaultGuard&) = delete;
    ~KxFaultGuard();

private:
    const char16_t* m_enclosingName;
};

} // namespace Kavo

#endif
