#include "KxFoundation/KxRecursiveMutex.h"

#include "KxThreadId.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <system_error>

namespace Kavo {

namespace {

void throwIfFailed(int result, const char* what)
{
    if (result != 0)
        throw std::system_error(result, std::generic_category(), what);
}

pthread_mutex_t* mutexOf(void* handle) { return static_cast<pthread_mutex_t*>(handle); }

// Both kinds are recursive pthread mutexes. The kernel kind is also robust,
// so that a thread that ends holding it leaves it abandoned rather than
// locked for ever.
std::unique_ptr<pthread_mutex_t> newRecursiveMutex(bool robust)
{
    pthread_mutexattr_t attributes;
    throwIfFailed(pthread_mutexattr_init(&attributes), "pthread_mutexattr_init");
    int result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    if (result == 0 && robust)
        result = pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    auto mutex = std::make_unique<pthread_mutex_t>();
    if (result == 0)
        result = pthread_mutex_init(mutex.get(), &attributes);
    pthread_mutexattr_destroy(&attributes);
    throwIfFailed(result, "pthread_mutex_init");
    return mutex;
}

timespec deadlineAfter(uint32_t milliseconds)
{
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += long(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

} // namespace

uint32_t _kx_current_thread_id() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

KxRecursiveMutex::KxRecursiveMutex(bool kernelObject)
    : m_handle(newRecursiveMutex(kernelObject).release()), m_kernelObject(kernelObject)
{
}

KxRecursiveMutex::~KxRecursiveMutex()
{
    pthread_mutex_destroy(mutexOf(m_handle));
    delete mutexOf(m_handle);
}

void KxRecursiveMutex::lock()
{
    if (m_kernelObject)
        lockKernelObject();
    else
        throwIfFailed(pthread_mutex_lock(mutexOf(m_handle)), "pthread_mutex_lock");
}

void KxRecursiveMutex::unlock() { pthread_mutex_unlock(mutexOf(m_handle)); }

// An abandoned wait has already made the caller the owner, once.
void KxRecursiveMutex::lockKernelObject()
{
    for (;;) {
        const timespec deadline = deadlineAfter(waitSliceMilliseconds.load());
        const int result = pthread_mutex_timedlock(mutexOf(m_handle), &deadline);
        if (result == 0)
            return;
        if (result == EOWNERDEAD) {
            pthread_mutex_consistent(mutexOf(m_handle));
            return;
        }
        if (result != ETIMEDOUT)
            throwIfFailed(result, "pthread_mutex_timedlock");
        reportLongWait();
    }
}

} // namespace Kavo
