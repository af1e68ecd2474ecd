#include "KxDumpFiles.h"
#include "KxTestPrinting.h"

#include "KxConversion.h"
#include "KxDump.h"
#include "KxThreadId.h"
#include "KxFoundation/KxRecursiveMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace Kavo;
using namespace std::chrono_literals;

namespace {

// A thread that takes the mutex as soon as it can, then lets it go.
class Contender {
public:
    explicit Contender(KxRecursiveMutex& mutex)
        : m_thread([this, &mutex] {
              m_threadId = _kx_current_thread_id();
              mutex.lock();
              m_acquired = true;
              mutex.unlock();
          })
    {
        while (m_threadId == 0)
            std::this_thread::yield();
    }
    ~Contender() { join(); }

    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    bool acquired() const { return m_acquired; }
    KxString dumpName() const
    {
        KxString name;
        name.format(u"KxMutex(%d)", static_cast<int32_t>(m_threadId.load()));
        return name;
    }

private:
    std::atomic<uint32_t> m_threadId{0};
    std::atomic<bool> m_acquired{false};
    std::thread m_thread;
};

// Gives every test a short kernel wait slice, and cleans the dumps of the
// contenders it names.
class KxRecursiveMutexTest : public testing::Test {
protected:
    void SetUp() override { KxRecursiveMutex::waitSliceMilliseconds = 50; }
    void TearDown() override
    {
        KxRecursiveMutex::waitSliceMilliseconds = KxRecursiveMutex::kDefaultWaitSliceMilliseconds;
        for (const KxString& name : m_dumpNames)
            removeDumpFilesNamed(name);
    }
    KxString cleanedAfterwards(const KxString& dumpName)
    {
        m_dumpNames.push_back(dumpName);
        return dumpName;
    }
    template <typename Condition>
    static bool eventually(Condition condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return condition();
    }

private:
    std::vector<KxString> m_dumpNames;
};

class CountingLockable : public KxMutexLockable {
public:
    void lock() override { ++locks; }
    void unlock() override { ++unlocks; }
    int locks = 0;
    int unlocks = 0;
};

} // namespace

TEST_F(KxRecursiveMutexTest, LightKindIsFreeOnlyAfterItsLastUnlockAndWaitsSilently)
{
    KxRecursiveMutex mutex(false);
    EXPECT_FALSE(mutex.isKernelObject());
    mutex.lock();
    mutex.lock();
    mutex.unlock();
    Contender contender(mutex);
    const KxString dumpName = cleanedAfterwards(contender.dumpName());
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(contender.acquired());
    mutex.unlock();
    contender.join();
    EXPECT_TRUE(contender.acquired());
    EXPECT_TRUE(dumpFilesNamed(dumpName).empty());
}

TEST_F(KxRecursiveMutexTest, KernelKindLeavesADumpForEachSliceItWaits)
{
    KxRecursiveMutex mutex(true);
    EXPECT_TRUE(mutex.isKernelObject());
    mutex.lock();
    mutex.lock();
    mutex.unlock();
    Contender contender(mutex);
    const KxString dumpName = cleanedAfterwards(contender.dumpName());
    EXPECT_TRUE(eventually([&] { return !dumpFilesNamed(dumpName).empty(); }));
    EXPECT_FALSE(contender.acquired());
    mutex.unlock();
    contender.join();
    EXPECT_TRUE(contender.acquired());
}

TEST_F(KxRecursiveMutexTest, AbandonedKernelMutexIsTakenOverOnce)
{
    KxRecursiveMutex mutex(true);
    std::thread([&] { mutex.lock(); }).join();
    mutex.lock();
    mutex.unlock();

    Contender contender(mutex);
    cleanedAfterwards(contender.dumpName());
    const bool freed = eventually([&] { return contender.acquired(); });
    EXPECT_TRUE(freed) << "one unlock did not free the mutex taken over";
    if (!freed)
        mutex.unlock();
}

TEST(KxScopedLock, UnlocksWhenItsScopeIsLeftByAnException)
{
    CountingLockable lockable;
    try {
        KxScopedLock lock(&lockable);
        EXPECT_EQ(lockable.locks, 1);
        EXPECT_EQ(lockable.unlocks, 0);
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(lockable.locks, 1);
    EXPECT_EQ(lockable.unlocks, 1);
}

TEST(KxConversionLock, IsOneSharedLightMutexThatConversionsTakeAgain)
{
    std::atomic<KxRecursiveMutex*> seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] { slot = &_kx_conversion_mutex(); });
    for (std::thread& thread : threads)
        thread.join();
    for (auto& slot : seen)
        EXPECT_EQ(slot.load(), &_kx_conversion_mutex());
    EXPECT_FALSE(_kx_conversion_mutex().isKernelObject());

    KxScopedLock held(&_kx_conversion_mutex());
    EXPECT_EQ(KxString("\xC3\xA9"), KxString(u"\u00E9"));
}
