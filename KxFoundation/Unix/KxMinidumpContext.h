#ifndef KAVO_UNIX_KXMINIDUMPCONTEXT_H
#define KAVO_UNIX_KXMINIDUMPCONTEXT_H

#include <cstdint>
#include <ucontext.h>
#include <vector>

// What a minidump needs to know of the processor the library was built for.
namespace Kavo::minidump {

// The system information's processor architecture code.
uint16_t processorArchitecture();

// The thread's registers as the format's context record for this processor;
// empty where that record is not written.
std::vector<uint8_t> threadContext(const ucontext_t& context);

// The thread's stack pointer; 0 where it is not known.
uint64_t stackPointer(const ucontext_t& context);

} // namespace Kavo::minidump

#endif
