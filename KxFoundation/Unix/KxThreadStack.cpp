#include "Unix/KxThreadStack.h"

#include <pthread.h>

namespace Kavo {

// The main thread's stack holds the arguments and the environment above
// its first frame.
extern "C" void* __libc_stack_end;

KxStackRange _kx_current_thread_stack()
{
    KxStackRange range;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return range;
    void* lowest = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attributes, &lowest, &size) == 0) {
        range.start = reinterpret_cast<uintptr_t>(lowest);
        range.end = range.start + size;
    }
    const auto firstFrame = reinterpret_cast<uintptr_t>(__libc_stack_end);
    if (range.start < firstFrame && firstFrame < range.end)
        range.end = firstFrame;
    pthread_attr_destroy(&attributes);
    return range;
}

} // namespace Kavo
