// The log line every extracted file gets, built by appendFormat and by the
// C library's swprintf.
#include "KxFoundation/KxString.h"

#include <benchmark/benchmark.h>

#include <cwchar>

using namespace Kavo;

namespace {

const KxString kTargetPath(u"/tmp/tessit-1000/docs/manual/index.html");

void BM_AppendFormat(benchmark::State& state)
{
    for (auto _ : state) {
        KxString log;
        log.appendFormat(u"File%02d : %@(%d)\n", 7, &kTargetPath, 512001);
        benchmark::DoNotOptimize(log);
    }
}
BENCHMARK(BM_AppendFormat);

void BM_Swprintf(benchmark::State& state)
{
    const wchar_t* path = L"/tmp/tessit-1000/docs/manual/index.html";
    for (auto _ : state) {
        wchar_t line[256];
        std::swprintf(line, 256, L"File%02d : %ls(%d)\n", 7, path, 512001);
        benchmark::DoNotOptimize(line);
    }
}
BENCHMARK(BM_Swprintf);

} // namespace
