#include "KxFaultGuard.h"

#include "Unix/KxExceptionPointers.h"
#include "Unix/KxMinidumpContext.h"
#include "Unix/KxThreadStack.h"
#include "KxFoundation/KxObject.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <mutex>

namespace Kavo {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
// Room for the dump writer, which keeps its buffers on the stack, also in
// a sanitised build.
constexpr std::size_t kAlternateStackBytes = 256 * 1024;

// One guarded call in progress on this thread; they nest, innermost first.
struct ActiveGuard {
    KxDumpRequest& dump;
    KxStackRange stack;
    ActiveGuard* enclosing = nullptr;
    volatile bool writing = false; // a fault while the dump is written is the writer's, not the call's
    sigjmp_buf recovery;

    void writeDump(uint32_t code, uint32_t flags, uint64_t address, const ucontext_t& context)
    {
        const KxExceptionPointers exception{code, flags, address, &context, stack};
        writing = true;
        dump.write(&exception);
        writing = false;
    }
};

thread_local ActiveGuard* t_innermost = nullptr;

// The dispositions the handlers took the place of, for faults outside
// guarded calls.
struct sigaction previousActions[NSIG];

void onFault(int signal, siginfo_t* info, void* context);

bool isOurs(const struct sigaction& action)
{
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == onFault;
}

// Puts the handlers in place, again wherever another has taken one's place
// since: every guarded call has them. While one runs, every fault signal is
// blocked, so a fault inside it ends the process.
void keepHandlersInForce()
{
    static std::mutex installing;
    const std::lock_guard<std::mutex> lock(installing);
    for (const int signal : kFaultSignals) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        if (isOurs(current))
            continue;
        previousActions[signal] = current;
        struct sigaction action {};
        action.sa_sigaction = onFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (const int blocked : kFaultSignals)
            sigaddset(&action.sa_mask, blocked);
        sigaction(signal, &action, nullptr);
    }
}

// A signal outside a guarded call, or one sent rather than raised by an
// instruction, goes where it went before. Where that is the default (or,
// for a fault, ignoring it), the default is put back: a fault's
// instruction runs again and meets it, a sent signal is sent again. Either
// ends the process, so the handlers need not come back.
void forward(int signal, siginfo_t* info, void* context)
{
    const struct sigaction& previous = previousActions[signal];
    const bool sent = info->si_code <= 0;
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler == SIG_IGN && sent)
        return;
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    if (sent)
        raise(signal);
}

// Runs on the alternate stack and allocates nothing: the dump was made
// ready before the call.
void onFault(int signal, siginfo_t* info, void* context)
{
    ActiveGuard* guard = t_innermost;
    if (guard == nullptr || guard->writing || info->si_code <= 0) {
        forward(signal, info, context);
        return;
    }
    guard->writeDump(uint32_t(signal), uint32_t(info->si_code), reinterpret_cast<uintptr_t>(info->si_addr),
                     *static_cast<const ucontext_t*>(context));
    siglongjmp(guard->recovery, 1);
}

// The thread's own alternate signal stack, with an inaccessible page below
// it; mapped on the thread's first guarded call, unmapped when it ends.
class AlternateStack {
public:
    AlternateStack() = default;
    AlternateStack(const AlternateStack&) = delete;
    AlternateStack& operator=(const AlternateStack&) = delete;
    ~AlternateStack()
    {
        if (m_mapping != MAP_FAILED)
            munmap(m_mapping, guardBytes() + kAlternateStackBytes);
    }

    // Null where no memory could be had.
    stack_t stack()
    {
        if (m_mapping == MAP_FAILED) {
            m_mapping = mmap(nullptr, guardBytes() + kAlternateStackBytes, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
            if (m_mapping != MAP_FAILED)
                mprotect(m_mapping, guardBytes(), PROT_NONE);
        }
        stack_t stack{};
        if (m_mapping != MAP_FAILED) {
            stack.ss_sp = static_cast<char*>(m_mapping) + guardBytes();
            stack.ss_size = kAlternateStackBytes;
        }
        return stack;
    }

private:
    static std::size_t guardBytes() { return std::size_t(sysconf(_SC_PAGESIZE)); }

    void* m_mapping = MAP_FAILED;
};

thread_local AlternateStack t_alternateStack;

// While a guarded call runs, the fault handlers run on the thread's own
// alternate stack, so that a stack overflow is dumped too; the one in place
// before comes back after. A call made from a handler already running on
// an alternate stack keeps that one.
class AlternateStackScope {
public:
    AlternateStackScope()
    {
        const stack_t ours = t_alternateStack.stack();
        m_swapped = ours.ss_sp != nullptr && sigaltstack(&ours, &m_previous) == 0;
    }
    AlternateStackScope(const AlternateStackScope&) = delete;
    AlternateStackScope& operator=(const AlternateStackScope&) = delete;
    ~AlternateStackScope()
    {
        if (m_swapped)
            sigaltstack(&m_previous, nullptr);
    }

private:
    stack_t m_previous{};
    bool m_swapped = false;
};

// The frame a fault returns to and a thrown exception is seen at. Its
// scopes are cleanups, so the unwinder consults it in the first pass. It is
// only ever called through `guardedCallEntry`, so the code that runs is this
// function itself and never a specialised copy at another address.
bool guardedCallFrame(KxObject& object, void (KxObject::*function)(), ActiveGuard& guard)
{
    const AlternateStackScope alternateStack;
    const KxInnermostGuardScope<ActiveGuard> active(guard, t_innermost);
    if (sigsetjmp(guard.recovery, 1) != 0)
        return false;
    (object.*function)();
    return true;
}

bool (*volatile const guardedCallEntry)(KxObject&, void (KxObject::*)(), ActiveGuard&) = guardedCallFrame;

// Found once per thread: finding it may read files and allocate.
const KxStackRange& threadStack()
{
    thread_local const KxStackRange stack = _kx_current_thread_stack();
    return stack;
}

} // namespace

bool KxFaultGuard::call(KxObject& object, void (KxObject::*function)())
{
    keepHandlersInForce();
    ActiveGuard guard{m_dump, threadStack(), nullptr, false, {}};
    return guardedCallEntry(object, function, guard);
}

void _kx_guarded_frame_reached(uintptr_t functionStart)
{
    ActiveGuard* guard = t_innermost;
    if (guard == nullptr || functionStart != reinterpret_cast<uintptr_t>(guardedCallFrame))
        return;
    ucontext_t context;
    getcontext(&context);
    guard->writeDump(kKxThrownExceptionCode, 0, minidump::instructionPointer(context), context);
}

} // namespace Kavo
