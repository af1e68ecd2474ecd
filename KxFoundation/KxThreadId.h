#ifndef KAVO_KXTHREADID_H
#define KAVO_KXTHREADID_H

#include <cstdint>

namespace Kavo {

// The platform's identifier of the calling thread.
uint32_t _kx_current_thread_id();

} // namespace Kavo

#endif
