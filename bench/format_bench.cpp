// One run's log as the launcher writes it (the module, its certificate
// table, the temporary folder, the OEM number and entry count, thirty
// extracted files with one folder made, a control and the main tool), built
// line by line by appendFormat, by the C library's swprintf and by {fmt}.
// Every engine appends to one growing text: appendFormat to a KxString,
// swprintf to a fixed wide buffer (it never allocates), {fmt} to a
// std::wstring through format_to.
#include "KxFoundation/KxString.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <fmt/xchar.h>

#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

using namespace Kavo;

namespace {

constexpr int kEntryCount = 30;
constexpr int kFolderMadeBefore = 10;
// Module, codeSignSize, Temp Path, OEM, Count, make folder, Register, Execute.
constexpr int kLineCount = kEntryCount + 8;

// A text in both forms the engines take.
struct Text {
    explicit Text(const std::string& ascii) : kx(ascii.c_str()), wide(ascii.begin(), ascii.end()) {}
    KxString kx;
    std::wstring wide;
};

struct Entry {
    Text target;
    int32_t size;
};

struct RunLog {
    Text module{"/home/user/Downloads/Setup"};
    Text temp{"/tmp/tessit-1000/"};
    Text folder{"docs"};
    Text control{"/tmp/tessit-1000/Viewer.ocx"};
    Text mainTool{"/tmp/tessit-1000/QIRA_t.exe"};
    std::vector<Entry> entries;

    RunLog()
    {
        for (int index = 1; index <= kEntryCount; ++index) {
            const std::string folderPart = index > kFolderMadeBefore ? "docs/" : "";
            entries.push_back(Entry{Text("/tmp/tessit-1000/" + folderPart + "file" + std::to_string(index) + ".bin"),
                                    index * index * 16384});
        }
    }
};

const RunLog& runLog()
{
    static const RunLog instance;
    return instance;
}

void writeLog(KxString& log, const RunLog& run)
{
    log.appendFormat(u"Module : %@\n", &run.module.kx);
    log.appendFormat(u"codeSignSize: [%x, %d]\n", 0x1a2b00, 9048);
    log.appendFormat(u"Temp Path : %@\n", &run.temp.kx);
    log.appendFormat(u"OEM : %d\n", 47);
    log.appendFormat(u"Count : %d\n", kEntryCount);
    for (int index = 0; index < kEntryCount; ++index) {
        if (index == kFolderMadeBefore)
            log.appendFormat(u"make folder: [%@]\n", &run.folder.kx);
        const Entry& entry = run.entries[size_t(index)];
        log.appendFormat(u"File%02d : %@(%d)\n", index + 1, &entry.target.kx, entry.size);
    }
    log.appendFormat(u"Register : %@\n", &run.control.kx);
    log.appendFormat(u"Execute : %@\n", &run.mainTool.kx);
}

std::wstring wideText(const KxString& log) { return std::wstring(log.c_str(), log.c_str() + log.length()); }

class WideBuffer {
public:
    template <typename... Arguments>
    void append(const wchar_t* format, Arguments... arguments)
    {
        const int written = std::swprintf(m_text + m_used, kCapacity - m_used, format, arguments...);
        if (written > 0)
            m_used += size_t(written);
    }
    std::wstring text() const { return std::wstring(m_text, m_used); }

private:
    static constexpr size_t kCapacity = 8192;
    wchar_t m_text[kCapacity];
    size_t m_used = 0;
};

void writeLog(WideBuffer& log, const RunLog& run)
{
    log.append(L"Module : %ls\n", run.module.wide.c_str());
    log.append(L"codeSignSize: [%x, %d]\n", 0x1a2b00, 9048);
    log.append(L"Temp Path : %ls\n", run.temp.wide.c_str());
    log.append(L"OEM : %d\n", 47);
    log.append(L"Count : %d\n", kEntryCount);
    for (int index = 0; index < kEntryCount; ++index) {
        if (index == kFolderMadeBefore)
            log.append(L"make folder: [%ls]\n", run.folder.wide.c_str());
        const Entry& entry = run.entries[size_t(index)];
        log.append(L"File%02d : %ls(%d)\n", index + 1, entry.target.wide.c_str(), entry.size);
    }
    log.append(L"Register : %ls\n", run.control.wide.c_str());
    log.append(L"Execute : %ls\n", run.mainTool.wide.c_str());
}

std::wstring wideText(const WideBuffer& log) { return log.text(); }

void writeLog(std::wstring& log, const RunLog& run)
{
    auto out = std::back_inserter(log);
    fmt::format_to(out, L"Module : {}\n", run.module.wide);
    fmt::format_to(out, L"codeSignSize: [{:x}, {}]\n", 0x1a2b00, 9048);
    fmt::format_to(out, L"Temp Path : {}\n", run.temp.wide);
    fmt::format_to(out, L"OEM : {}\n", 47);
    fmt::format_to(out, L"Count : {}\n", kEntryCount);
    for (int index = 0; index < kEntryCount; ++index) {
        if (index == kFolderMadeBefore)
            fmt::format_to(out, L"make folder: [{}]\n", run.folder.wide);
        const Entry& entry = run.entries[size_t(index)];
        fmt::format_to(out, L"File{:02} : {}({})\n", index + 1, entry.target.wide, entry.size);
    }
    fmt::format_to(out, L"Register : {}\n", run.control.wide);
    fmt::format_to(out, L"Execute : {}\n", run.mainTool.wide);
}

std::wstring wideText(const std::wstring& log) { return log; }

// The swprintf text is the reference: an engine that wrote anything else
// would be timed for a different job.
template <typename Log>
bool writesTheReference(const RunLog& run)
{
    WideBuffer reference;
    writeLog(reference, run);
    Log log;
    writeLog(log, run);
    return wideText(log) == reference.text();
}

template <typename Log>
void BM_RunLog(benchmark::State& state)
{
    const RunLog& run = runLog();
    if (!writesTheReference<Log>(run)) {
        state.SkipWithError("the log differs from swprintf's");
        return;
    }
    for (auto _ : state) {
        Log log;
        writeLog(log, run);
        benchmark::DoNotOptimize(&log);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLineCount);
}
BENCHMARK_TEMPLATE(BM_RunLog, KxString)->Name("appendFormat");
BENCHMARK_TEMPLATE(BM_RunLog, WideBuffer)->Name("swprintf");
BENCHMARK_TEMPLATE(BM_RunLog, std::wstring)->Name("fmt::format_to");

} // namespace
