#include "KxDumpFiles.h"
#include "KxMinidumpReader.h"
#include "KxTestPrinting.h"

#include "KxDump.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxTime.h"

#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <thread>
#include <vector>

using namespace Kavo;

namespace {

std::string stampOfNow()
{
    const KxTime now(static_cast<int32_t>(std::time(nullptr)));
    KxString stamp;
    stamp.format(u"%04d%02d%02d%02d%02d%02d", now.year(), now.month(), now.day(), now.hour(), now.minute(),
                 now.second());
    return stamp.toNarrow();
}

// Removes the dumps a test asked for, whatever the test's outcome.
class DumpsNamed {
public:
    explicit DumpsNamed(const KxString& safeName) : m_safeName(safeName) { removeDumpFilesNamed(m_safeName); }
    ~DumpsNamed() { removeDumpFilesNamed(m_safeName); }
    std::vector<std::filesystem::path> files() const { return dumpFilesNamed(m_safeName); }

private:
    KxString m_safeName;
};

} // namespace

TEST(KxDump, SafeNameReplacesTheNineCharacters)
{
    struct Case { const char16_t* name; const char16_t* safe; };
    for (const Case& c : std::vector<Case>{
             {u"a/b:c", u"a_b_c"},
             {u"KxMutex(12)", u"KxMutex(12)"},
             {u"\\/:*?\"<>|", u"_________"},
             {u"::x", u"__x"},
             {u"a, b (\u00E9)", u"a, b (\u00E9)"},
             {u"", u""},
         }) {
        EXPECT_EQ(_kx_dump_safe_name(c.name), KxString(c.safe)) << testing::PrintToString(KxString(c.name));
    }
}

TEST(KxDump, FileNameHoldsModuleNameTimeAndARunningNumber)
{
    const DumpsNamed dumps(u"KxDumpTest a_b_c");
    const int32_t first = KxDumpState::instance().dumpCounter();
    const std::string before = stampOfNow();
    EXPECT_EQ(_kx_write_dump(nullptr, u"KxDumpTest a/b:c"), 1);
    EXPECT_EQ(_kx_write_dump(nullptr, u"KxDumpTest a/b:c"), 1);
    const std::string after = stampOfNow();

    const auto files = dumps.files();
    ASSERT_EQ(files.size(), 2u);
    for (int index = 0; index < 2; ++index) {
        const std::string stampAndNumber = dumpStampAndNumber(files[index]);
        const std::string stamp = stampAndNumber.substr(0, 14);
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, after);
        EXPECT_EQ(stampAndNumber.substr(14), "_" + std::to_string(first + index));
    }
    EXPECT_EQ(KxDumpState::instance().dumpCounter(), first + 2);
}

TEST(KxDump, NullAndEmptyNamesLeaveTwoDotsInARow)
{
    const DumpsNamed dumps(u"");
    _kx_write_dump(nullptr, nullptr);
    _kx_write_dump(nullptr, u"");
    EXPECT_EQ(dumps.files().size(), 2u);
}

TEST(KxDump, ConcurrentRequestsNeverShareANumber)
{
    const DumpsNamed dumps(u"KxDumpTest concurrent");
    std::vector<std::thread> threads;
    for (int index = 0; index < 6; ++index)
        threads.emplace_back([] { _kx_write_dump(nullptr, u"KxDumpTest concurrent"); });
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::string> numbers;
    for (const auto& file : dumps.files())
        numbers.insert(dumpStampAndNumber(file).substr(14));
    EXPECT_EQ(numbers.size(), 6u);
}

TEST(KxDump, DumpIsAMinidumpOfTheCallingThreadAndTheModules)
{
    const DumpsNamed dumps(u"KxDumpTest format");
    _kx_write_dump(nullptr, u"KxDumpTest format");
    const auto files = dumps.files();
    ASSERT_EQ(files.size(), 1u);

    const KxMinidumpReader dump(files[0].u8string());
    EXPECT_EQ(dump.signature(), 0x504D444Du);
    EXPECT_EQ(dump.version(), 0xA793);
    EXPECT_TRUE(dump.hasStream(KxMinidumpReader::kSystemInfo));
    EXPECT_FALSE(dump.exception().has_value());

    const auto threads = dump.threads();
    ASSERT_FALSE(threads.empty());
    // The platform's debug-help library decides what a Windows dump holds of
    // the writing thread; the Linux writer always keeps its registers and stack.
    if (dump.platformId() == KxMinidumpReader::kPlatformLinux) {
        ASSERT_EQ(threads.size(), 1u);
        EXPECT_GT(threads[0].context.size, 0u);
        EXPECT_GT(threads[0].stack.size, 0u);
        EXPECT_NE(threads[0].stackStart, 0u);
    }

    const KxString executable = lastPathComponent(modulePath());
    bool executableListed = false;
    for (const std::u16string& name : dump.moduleNames())
        executableListed |= lastPathComponent(KxString(name.c_str())).equalsIgnoreCase(executable);
    EXPECT_TRUE(executableListed) << testing::PrintToString(executable);
}
