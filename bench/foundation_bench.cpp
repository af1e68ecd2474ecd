#include "KxFoundation/KxMemoryStream.h"
#include "KxFoundation/KxObject.h"
#include "KxFoundation/KxRecursiveMutex.h"
#include "KxFoundation/KxString.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace Kavo;

namespace {

constexpr int kTotalBytes = 256 * 1024;

// Uncontended lock and unlock of each kind: the light kind is what every
// narrow-text conversion takes.
void lockAndUnlock(benchmark::State& state)
{
    KxRecursiveMutex mutex(state.range(0) != 0);
    for (auto _ : state) {
        KxScopedLock lock(&mutex);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(lockAndUnlock)->Arg(0)->Arg(1)->ArgName("kernelObject");

void narrowTextConversion(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(KxString("C:\\Users\\someone\\AppData\\Local\\Temp\\QIRA_t.exe"));
}
BENCHMARK(narrowTextConversion);

// 256 KiB written 64 bytes at a time: growth copies the whole block at every
// step, so the step decides the cost.
void memoryStreamGrowth(benchmark::State& state)
{
    const std::vector<uint8_t> piece(64, 0x5A);
    const auto step = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        KxMemoryStream stream;
        stream.init(step, true, 0, false, 0);
        for (int index = 0; index < kTotalBytes / 64; ++index)
            stream.write(piece.data(), static_cast<uint32_t>(piece.size()));
        benchmark::DoNotOptimize(stream.buffer());
    }
    state.SetBytesProcessed(state.iterations() * kTotalBytes);
}
BENCHMARK(memoryStreamGrowth)->Arg(32)->Arg(4096)->Arg(65536)->ArgName("step");

// A guarded call whose function returns: what guarding costs when nothing
// escapes (the dump's name and path made ready, the fault handlers checked,
// the alternate stack put in place and back, the signal mask saved).
class Returns : public KxObject {
public:
    void nothing() { benchmark::ClobberMemory(); }
};

void guardedCall(benchmark::State& state)
{
    Returns object;
    for (auto _ : state)
        benchmark::DoNotOptimize(object.invokeGuarded(static_cast<void (KxObject::*)()>(&Returns::nothing)));
}
BENCHMARK(guardedCall);

} // namespace
