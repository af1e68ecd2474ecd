#include "KxFoundation/KxRecursiveMutex.h"

#include "KxDump.h"
#include "KxThreadId.h"
#include "KxFoundation/KxString.h"

namespace Kavo {

KxMutexLockable::~KxMutexLockable() = default;

std::atomic<uint32_t> KxRecursiveMutex::waitSliceMilliseconds{KxRecursiveMutex::kDefaultWaitSliceMilliseconds};

void KxRecursiveMutex::reportLongWait()
{
    KxString name;
    name.format(u"KxMutex(%d)", static_cast<int32_t>(_kx_current_thread_id()));
    _kx_write_dump(nullptr, name.c_str());
}

KxScopedLock::KxScopedLock(KxMutexLockable* lockable) : m_lockable(lockable) { m_lockable->lock(); }

KxScopedLock::~KxScopedLock() { m_lockable->unlock(); }

} // namespace Kavo
