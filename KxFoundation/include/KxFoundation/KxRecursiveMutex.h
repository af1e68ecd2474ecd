#ifndef KAVO_KXRECURSIVEMUTEX_H
#define KAVO_KXRECURSIVEMUTEX_H

#include "KxFoundation/KxObject.h"

#include <atomic>
#include <cstdint>

namespace Kavo {

// Something that can be locked and unlocked, once per lock.
class KxMutexLockable : public KxObject {
public:
    ~KxMutexLockable() override = 0;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

// The library's lock, recursive per thread: each lock needs one unlock. The
// light kind (a critical section; a recursive pthread mutex on Unix) waits
// silently. The kernel kind waits in slices and leaves a dump named
// "KxMutex(<thread id>)" after each slice that runs out. A wait that fails
// throws std::system_error instead of retrying; an abandoned kernel mutex
// (its owner ended holding it) is taken over with one ownership.
class KxRecursiveMutex : public KxMutexLockable {
public:
    static constexpr uint32_t kDefaultWaitSliceMilliseconds = 30 * 60 * 1000;
    // The kernel kind's slice; tests shorten it.
    static std::atomic<uint32_t> waitSliceMilliseconds;

    // Throws std::system_error when the platform cannot create the lock.
    explicit KxRecursiveMutex(bool kernelObject);
    KxRecursiveMutex(const KxRecursiveMutex&) = delete;
    KxRecursiveMutex& operator=(const KxRecursiveMutex&) = delete;
    // Must not be held by any thread.
    ~KxRecursiveMutex() override;

    void lock() override;
    void unlock() override;

    bool isKernelObject() const { return m_kernelObject; }

private:
    void lockKernelObject();
    void reportLongWait();

    void* m_handle;
    bool m_kernelObject;
};

// Holds a lock for the lifetime of a scope, however the scope is left.
class KxScopedLock {
public:
    explicit KxScopedLock(KxMutexLockable* lockable);
    KxScopedLock(const KxScopedLock&) = delete;
    KxScopedLock& operator=(const KxScopedLock&) = delete;
    ~KxScopedLock();

private:
    KxMutexLockable* m_lockable;
};

} // namespace Kavo

#endif
