#include "KxFoundation/KxFaultGuard.h"

#include "KxFoundation/KxDump.h"
#include "KxFoundation/KxString.h"
#include "KxFoundation/Windows/KxExceptionPointers.h"

#include <windows.h>

#include <mutex>

namespace Kavo {

namespace {

thread_local const char16_t* t_guardedName = nullptr;

// System error codes (severity "error", not customer-defined) are the
// hardware faults and the system's own failures; thrown C++ exceptions, debug
// output and thread naming use other codes and are left to their handlers.
bool isFault(DWORD code) { return (code & 0xE0000000u) == 0xC0000000u; }

LONG WINAPI onException(EXCEPTION_POINTERS* pointers)
{
    const char16_t* name = t_guardedName;
    if (name != nullptr && isFault(pointers->ExceptionRecord->ExceptionCode)) {
        t_guardedName = nullptr;
        KxExceptionPointers exception{pointers};
        _kx_write_dump(&exception, name);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void installHandlerOnce()
{
    static std::once_flag installed;
    std::call_once(installed, [] { AddVectoredExceptionHandler(1, onException); });
}

} // namespace

KxFaultGuard::KxFaultGuard(const KxString& name) : m_enclosingName(t_guardedName)
{
    installHandlerOnce();
    t_guardedName = name.c_str();
}

KxFaultGuard::~KxFaultGuard() { t_guardedName = m_enclosingName; }

} // namespace Kavo
