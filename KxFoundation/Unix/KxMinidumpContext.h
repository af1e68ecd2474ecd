#ifndef KAVO_UNIX_KXMINIDUMPCONTEXT_H
#define KAVO_UNIX_KXMINIDUMPCONTEXT_H

#include <cstddef>
#include <cstdint>
#include <ucontext.h>

// What a minidump needs to know of the processor the library was built for.
namespace Kavo::minidump {

// The system information's processor architecture code.
uint16_t processorArchitecture();

// Room for the largest context record written.
constexpr std::size_t kContextRecordCapacity = 1232;

// Writes the thread's registers as the format's context record for this
// processor into `record` and returns its size; 0 where none is written.
std::size_t threadContext(const ucontext_t& context, uint8_t (&record)[kContextRecordCapacity]);

// The thread's stack and instruction pointers; 0 where they are not known.
uint64_t stackPointer(const ucontext_t& context);
uint64_t instructionPointer(const ucontext_t& context);

} // namespace Kavo::minidump

#endif
