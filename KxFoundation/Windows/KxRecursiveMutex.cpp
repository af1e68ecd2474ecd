#include "KxFoundation/KxRecursiveMutex.h"

#include "KxThreadId.h"

#include <windows.h>

#include <system_error>

namespace Kavo {

namespace {

[[noreturn]] void throwLastError(const char* what)
{
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

CRITICAL_SECTION* criticalSection(void* handle) { return static_cast<CRITICAL_SECTION*>(handle); }

} // namespace

uint32_t _kx_current_thread_id() { return GetCurrentThreadId(); }

KxRecursiveMutex::KxRecursiveMutex(bool kernelObject) : m_handle(nullptr), m_kernelObject(kernelObject)
{
    if (m_kernelObject) {
        m_handle = CreateMutexW(nullptr, FALSE, nullptr);
        if (m_handle == nullptr)
            throwLastError("CreateMutexW");
        return;
    }
    auto* section = new CRITICAL_SECTION;
    InitializeCriticalSection(section);
    m_handle = section;
}

KxRecursiveMutex::~KxRecursiveMutex()
{
    if (m_kernelObject) {
        CloseHandle(m_handle);
        return;
    }
    DeleteCriticalSection(criticalSection(m_handle));
    delete criticalSection(m_handle);
}

void KxRecursiveMutex::lock()
{
    if (m_kernelObject)
        lockKernelObject();
    else
        EnterCriticalSection(criticalSection(m_handle));
}

void KxRecursiveMutex::unlock()
{
    if (m_kernelObject)
        ReleaseMutex(m_handle);
    else
        LeaveCriticalSection(criticalSection(m_handle));
}

// An abandoned wait has already made the caller the owner, once.
void KxRecursiveMutex::lockKernelObject()
{
    for (;;) {
        switch (WaitForSingleObject(m_handle, waitSliceMilliseconds.load())) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:
            return;
        case WAIT_TIMEOUT:
            reportLongWait();
            break;
        default:
            throwLastError("WaitForSingleObject");
        }
    }
}

} // namespace Kavo
