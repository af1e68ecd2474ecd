#ifndef KAVO_WINDOWS_KXEXCEPTIONPOINTERS_H
#define KAVO_WINDOWS_KXEXCEPTIONPOINTERS_H

#include <windows.h>

namespace Kavo {

// The exception being dispatched, as an exception handler receives it.
struct KxExceptionPointers {
    EXCEPTION_POINTERS* pointers;
};

} // namespace Kavo

#endif
