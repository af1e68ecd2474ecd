// What a signed package's one pass costs the processor: the file digest
// alone, block by block as the pass hands it over, and the whole pass
// (ExtractEntries, as the launcher and `tessit-pack extract` run it) over
// the same package unsigned and signed, into a folder on a memory file
// system, so that no device write hides the work.
//
// Usage: extraction_bench [--benchmark_...] SET TARGET
//   SET     a folder holding unsigned.exe and signed.exe, the same package
//           unsigned and signed (scripts/performance/make-set.sh --signed)
//   TARGET  where each pass writes a fresh folder (a tmpfs, such as /dev/shm)
#include "package/Package.h"
#include "package/PackageExtraction.h"
#include "platform/NativePackagePlatform.h"
#include "platform/NativeSignatureCrypto.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Kavo::KxString;
using namespace Tessit;

namespace {

KxString textOf(const fs::path& path) { return KxString(path.u16string().c_str()); }

void digest(benchmark::State& state, DigestAlgorithm algorithm)
{
    const std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
    std::vector<uint8_t> block(COPY_CHUNK_SIZE);
    for (size_t index = 0; index < block.size(); ++index)
        block[index] = uint8_t(index * 2654435761u >> 24);
    std::unique_ptr<DigestHasher> hasher = crypto ? crypto->startDigest(algorithm) : nullptr;
    if (!hasher) {
        state.SkipWithError("this system's cryptography does not offer the algorithm");
        return;
    }
    for (auto _ : state)
        hasher->add(block.data(), block.size());
    benchmark::DoNotOptimize(hasher->finish());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
}

// One pass per iteration into a folder of its own, removed untimed.
void pass(benchmark::State& state, const fs::path& package, const fs::path& target)
{
    const std::unique_ptr<PackagePlatform> platform = createNativePackagePlatform(TraceLines::Dropped);
    const std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
    const fs::path folder = target / "tessit-extraction-bench";
    const KxString folderText = textOf(folder) + KxString(u"/");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::create_directories(folder);
        state.ResumeTiming();
        Package opened(*platform);
        KxString log;
        if (OpenPackage(opened, textOf(package), log).outcome != OpenOutcome::Opened) {
            state.SkipWithError("the package does not open");
            break;
        }
        const ExtractionReport report = ExtractEntries(opened, folderText, log, {HeldEntryTest(), crypto.get()});
        if (report.refused() || report.damaged()) {
            state.SkipWithError("the package was refused or not written whole");
            break;
        }
    }
    fs::remove_all(folder);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(package)));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [--benchmark_...] SET TARGET\n", argv[0]);
        return 2;
    }
    const fs::path set = fs::absolute(argv[1]);
    const fs::path target = fs::absolute(argv[2]);
    const struct {
        const char* name;
        DigestAlgorithm algorithm;
    } digests[] = {{"SHA-1", DigestAlgorithm::Sha1},
                   {"SHA-256", DigestAlgorithm::Sha256},
                   {"SHA-384", DigestAlgorithm::Sha384},
                   {"SHA-512", DigestAlgorithm::Sha512}};
    for (const auto& known : digests)
        benchmark::RegisterBenchmark((std::string("digest/") + known.name).c_str(), digest, known.algorithm);
    for (const char* kind : {"unsigned", "signed"})
        benchmark::RegisterBenchmark((std::string("pass/") + kind).c_str(), pass, set / (std::string(kind) + ".exe"),
                                     target)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
