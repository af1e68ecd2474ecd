#include "KxFoundation/KxFaultGuard.h"

#include "KxFoundation/KxDump.h"
#include "KxFoundation/KxString.h"
#include "KxFoundation/Unix/KxExceptionPointers.h"

#include <signal.h>

#include <mutex>

namespace Kavo {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

thread_local const char16_t* t_guardedName = nullptr;
struct sigaction previousActions[NSIG];

// Writes the dump for a guarded thread, then puts the previous disposition
// back and returns: the faulting instruction runs again and meets it. A
// signal sent rather than raised by a fault is sent again.
void onFault(int signal, siginfo_t* info, void* context)
{
    const char16_t* name = t_guardedName;
    if (name != nullptr) {
        t_guardedName = nullptr;
        const KxExceptionPointers exception{info, static_cast<const ucontext_t*>(context)};
        _kx_write_dump(&exception, name);
    }
    sigaction(signal, &previousActions[signal], nullptr);
    if (info->si_code <= 0)
        raise(signal);
}

void installHandlersOnce()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = onFault;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        for (const int signal : kFaultSignals)
            sigaction(signal, &action, &previousActions[signal]);
    });
}

} // namespace

KxFaultGuard::KxFaultGuard(const KxString& name) : m_enclosingName(t_guardedName)
{
    installHandlersOnce();
    t_guardedName = name.c_str();
}

KxFaultGuard::~KxFaultGuard() { t_guardedName = m_enclosingName; }

} // namespace Kavo
