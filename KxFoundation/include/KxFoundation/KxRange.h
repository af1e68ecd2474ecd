#ifndef KAVO_KXRANGE_H
#define KAVO_KXRANGE_H

#include <cstdint>

namespace Kavo {

// The allowed bounds of a value and the value that broke them.
struct KxRange {
    int32_t lower;
    int32_t upper;
    int32_t value;
};

} // namespace Kavo

#endif
