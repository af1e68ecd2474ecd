#include "KxFaultGuard.h"

#include "Windows/KxExceptionPointers.h"
#include "KxFoundation/KxObject.h"

#include <windows.h>

#include <malloc.h>
#include <setjmp.h>

#include <cstring>

namespace Kavo {

namespace {

// GCC's codes for an exception already on its way: unwinding resumed after
// a cleanup, and a forced unwind. They are no new exception.
constexpr DWORD kGccUnwindCode = 0x21474343;
constexpr DWORD kGccForcedUnwindCode = 0x22474343;

// Room the system keeps for the handler when the thread's stack overflows:
// enough for the debug-help library to write the dump.
constexpr ULONG kStackOverflowReserve = 64 * 1024;

// One guarded call in progress on this thread; they nest, innermost first.
struct ActiveGuard {
    KxDumpRequest& dump;
    ActiveGuard* enclosing = nullptr;
    bool writing = false; // a fault while the dump is written is the writer's, not the call's
    bool stackOverflowed = false;
    jmp_buf recovery;

    void writeDump(EXCEPTION_RECORD& record, CONTEXT& context)
    {
        EXCEPTION_POINTERS pointers{&record, &context};
        const KxExceptionPointers exception{&pointers};
        writing = true;
        dump.write(&exception);
        writing = false;
    }
};

thread_local ActiveGuard* t_innermost = nullptr;

// System error codes (severity "error", not customer-defined) are the
// hardware faults and the system's own failures.
bool isFault(const EXCEPTION_RECORD& record) { return (record.ExceptionCode & 0xE0000000u) == 0xC0000000u; }

void resumeAtRecoveryPoint(CONTEXT& context, const jmp_buf& recovery);

// An exception that reaches the guarded call's frame in the first pass of
// dispatch has left the called function: it is dumped as it was raised. A
// fault the system lets go on then resumes at the guarded call, which
// returns false; anything else goes on to the catch clauses, or ends the
// process. True when the fault is to resume.
bool onReachingGuardedCall(EXCEPTION_RECORD& record, CONTEXT& context)
{
    ActiveGuard* guard = t_innermost;
    if (guard == nullptr || guard->writing || record.ExceptionCode == kGccUnwindCode ||
        record.ExceptionCode == kGccForcedUnwindCode)
        return false;
    guard->writeDump(record, context);
    if (!isFault(record) || (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) != 0)
        return false;
    guard->stackOverflowed = record.ExceptionCode == EXCEPTION_STACK_OVERFLOW;
    resumeAtRecoveryPoint(context, guard->recovery);
    return true;
}

#if defined(__SEH__)

// 64-bit: C++ exceptions are raised as the system's own, and every frame of
// the program's C++ code takes part in dispatch through GCC's language
// handler, which the linker routes through the filter at the end of this
// file. The guarded call's frame needs nothing more.
class FrameHandlerScope {
public:
    void recovered() {}
};

void resumeAtRecoveryPoint(CONTEXT& context, const jmp_buf& recovery)
{
    const auto& saved = *reinterpret_cast<const _JUMP_BUFFER*>(&recovery);
    context.Rbx = saved.Rbx;
    context.Rsp = saved.Rsp;
    context.Rbp = saved.Rbp;
    context.Rsi = saved.Rsi;
    context.Rdi = saved.Rdi;
    context.R12 = saved.R12;
    context.R13 = saved.R13;
    context.R14 = saved.R14;
    context.R15 = saved.R15;
    context.Rip = saved.Rip;
    context.MxCsr = saved.MxCsr;
    context.FltSave.MxCsr = saved.MxCsr;
    context.FltSave.ControlWord = saved.FpCsr;
    std::memcpy(&context.Xmm6, &saved.Xmm6, 10 * sizeof(M128A));
    context.Rax = 1; // what setjmp returns the second time
}

#else

EXCEPTION_DISPOSITION NTAPI onFrameException(EXCEPTION_RECORD* record, void*, CONTEXT* context, void*)
{
    if (IS_DISPATCHING(record->ExceptionFlags) && onReachingGuardedCall(*record, *context))
        return ExceptionContinueExecution;
    return ExceptionContinueSearch;
}

// 32-bit: the guarded call's frame takes part in dispatch through a record
// of its own at the head of the thread's handler chain. C++ exceptions do
// not pass through the chain; they unwind by tables and leave it to this
// scope to unlink the record.
class FrameHandlerScope {
public:
    FrameHandlerScope()
    {
        m_record.Next = chain().ExceptionList;
        m_record.Handler = onFrameException;
        chain().ExceptionList = &m_record;
    }
    FrameHandlerScope(const FrameHandlerScope&) = delete;
    FrameHandlerScope& operator=(const FrameHandlerScope&) = delete;
    ~FrameHandlerScope() { chain().ExceptionList = m_record.Next; }

    // The records of the frames a fault abandoned are dropped.
    void recovered() { chain().ExceptionList = &m_record; }

private:
    // The thread's information block, by its own address at fs:0x18.
    static NT_TIB& chain()
    {
        NT_TIB* self;
        asm("movl %%fs:0x18, %0" : "=r"(self));
        return *self;
    }

    EXCEPTION_REGISTRATION_RECORD m_record;
};

void resumeAtRecoveryPoint(CONTEXT& context, const jmp_buf& recovery)
{
    const auto& saved = *reinterpret_cast<const _JUMP_BUFFER*>(&recovery);
    context.Ebp = saved.Ebp;
    context.Ebx = saved.Ebx;
    context.Edi = saved.Edi;
    context.Esi = saved.Esi;
    context.Esp = saved.Esp;
    context.Eip = saved.Eip;
    context.Eax = 1; // what setjmp returns the second time
}

#endif

// The frame a fault resumes at and a thrown exception is seen at. It is
// only ever called through `guardedCallEntry`, so the code that runs is this
// function itself and never a specialised copy at another address.
bool guardedCallFrame(KxObject& object, void (KxObject::*function)(), ActiveGuard& guard)
{
    FrameHandlerScope frameHandler;
    const KxInnermostGuardScope<ActiveGuard> active(guard, t_innermost);
    if (setjmp(guard.recovery) != 0) {
        frameHandler.recovered();
        if (guard.stackOverflowed)
            _resetstkoflw();
        return false;
    }
    (object.*function)();
    return true;
}

bool (*volatile const guardedCallEntry)(KxObject&, void (KxObject::*)(), ActiveGuard&) = guardedCallFrame;

bool isGuardedCallFrame(uintptr_t functionStart)
{
    return functionStart == reinterpret_cast<uintptr_t>(guardedCallFrame);
}

} // namespace

bool KxFaultGuard::call(KxObject& object, void (KxObject::*function)())
{
    ULONG reserve = kStackOverflowReserve;
    SetThreadStackGuarantee(&reserve);
    ActiveGuard guard{m_dump, nullptr, false, false, {}};
    return guardedCallEntry(object, function, guard);
}

#if !defined(__SEH__)

namespace {

// The caller's registers as they will be on return from here: what
// RtlCaptureContext reads from its caller's frame pointer, which optimised
// code does not keep. Asking for this frame's address makes it keep one.
__attribute__((noinline)) void captureCallersContext(CONTEXT& context)
{
    const auto* frame = static_cast<const DWORD*>(__builtin_frame_address(0));
    context.ContextFlags = CONTEXT_CONTROL;
    context.Ebp = frame[0];
    context.Eip = frame[1];
    context.Esp = DWORD(uintptr_t(frame + 2));
}

} // namespace

// 32-bit: a thrown exception unwinds by tables and reaches no handler of
// the system's; its dump gets a record made here, with the registers of
// this point, from which the throwing frames are still on the stack.
void _kx_guarded_frame_reached(uintptr_t functionStart)
{
    ActiveGuard* guard = t_innermost;
    if (guard == nullptr || !isGuardedCallFrame(functionStart))
        return;
    CONTEXT context{};
    captureCallersContext(context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kKxThrownExceptionCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = reinterpret_cast<void*>(uintptr_t(context.Eip));
    guard->writeDump(record, context);
}

#endif

} // namespace Kavo

#if defined(__SEH__)

extern "C" EXCEPTION_DISPOSITION __real___gxx_personality_seh0(EXCEPTION_RECORD* record, void* frame,
                                                                CONTEXT* context, DISPATCHER_CONTEXT* dispatch);

// GCC's language handler, as every frame of the program's C++ code names
// it (--wrap). In the first pass, before anything unwinds, the guarded
// call's frame gets to see what reaches it.
extern "C" EXCEPTION_DISPOSITION __wrap___gxx_personality_seh0(EXCEPTION_RECORD* record, void* frame,
                                                                CONTEXT* context, DISPATCHER_CONTEXT* dispatch)
{
    using namespace Kavo;
    if (IS_DISPATCHING(record->ExceptionFlags) &&
        isGuardedCallFrame(uintptr_t(dispatch->ImageBase + dispatch->FunctionEntry->BeginAddress)) &&
        onReachingGuardedCall(*record, *context))
        return ExceptionContinueExecution;
    return __real___gxx_personality_seh0(record, frame, context, dispatch);
}

#endif
