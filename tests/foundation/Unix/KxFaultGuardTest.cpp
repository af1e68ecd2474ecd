#include "KxDumpFiles.h"
#include "KxMinidumpReader.h"

#include "KxFoundation/KxObject.h"

#include <gtest/gtest.h>

#include <setjmp.h>
#include <signal.h>

#include <cstdint>
#include <string>
#include <thread>
#include <typeinfo>

using namespace Kavo;

namespace FaultGuardTest {

// Survives whatever a guarded call hands it.
class Survivor : public KxObject {
public:
    void faults()
    {
        volatile int* volatile nowhere = reinterpret_cast<volatile int*>(uintptr_t(64));
        *nowhere = 1;
    }
    void overflowsItsStack() { recurse(0); }
    void sendsItselfSegv() { raise(SIGSEGV); }

    void handleUnknown() override { ++unknownCalls; }

    int unknownCalls = 0;

private:
    // Each level keeps a block of its own, and uses it after the next level
    // returns, so the recursion is neither a loop nor a tail call; the
    // compiler cannot see that it never ends.
    [[gnu::noinline]] static int recurse(int depth)
    {
        volatile char block[1024];
        block[0] = char(depth);
        return (s_deeper ? recurse(depth + 1) : 0) + block[0];
    }
    static inline volatile bool s_deeper = true;
};

// One class per test, so that tests running side by side never count each
// other's dumps: a dump is named after the class.
class OverflowSurvivor : public Survivor {};
class ForwardingSurvivor : public Survivor {};
class SignalledSurvivor : public Survivor {};

} // namespace FaultGuardTest

using namespace FaultGuardTest;

namespace {

bool callGuarded(KxObject& object, void (Survivor::*function)())
{
    return object.invokeGuarded(static_cast<void (KxObject::*)()>(function));
}

// The dumps of one class, removed before and after the test.
class SurvivorDumps {
public:
    explicit SurvivorDumps(const std::type_info& type) : m_name(type.name())
    {
        removeDumpFilesNamed(m_name);
    }
    ~SurvivorDumps() { removeDumpFilesNamed(m_name); }
    std::vector<std::filesystem::path> files() const { return dumpFilesNamed(m_name); }

private:
    KxString m_name;
};

// A SIGSEGV handler of the test's own that returns to where it was set up,
// as a program's own fault recovery would.
sigjmp_buf t_ownRecovery;
volatile sig_atomic_t ownHandlerCalls = 0;

void ownHandler(int, siginfo_t*, void*)
{
    ++ownHandlerCalls;
    siglongjmp(t_ownRecovery, 1);
}

// Puts the test's handler in place for SIGSEGV, and what was there back.
class OwnSegvHandler {
public:
    OwnSegvHandler()
    {
        struct sigaction action {};
        action.sa_sigaction = ownHandler;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGSEGV, &action, &m_before);
    }
    ~OwnSegvHandler() { sigaction(SIGSEGV, &m_before, nullptr); }

private:
    struct sigaction m_before {};
};

[[gnu::noinline]] void faultOutsideAnyGuardedCall()
{
    volatile int* volatile nowhere = reinterpret_cast<volatile int*>(uintptr_t(64));
    *nowhere = 1;
}

} // namespace

// The handler runs on an alternate stack, so even a thread that has run out
// of stack leaves a dump and goes on.
TEST(KxFaultGuard, AStackOverflowIsDumpedAndEndsOnlyTheCall)
{
    const SurvivorDumps dumps(typeid(OverflowSurvivor));
    bool result = true;
    int unknownCalls = 0;
    std::thread([&] {
        OverflowSurvivor survivor;
        result = callGuarded(survivor, &Survivor::overflowsItsStack);
        unknownCalls = survivor.unknownCalls;
    }).join();
    EXPECT_FALSE(result);
    EXPECT_EQ(unknownCalls, 1);
    const auto files = dumps.files();
    ASSERT_EQ(files.size(), 1u);
    const auto exception = KxMinidumpReader(files[0].u8string()).exception();
    ASSERT_TRUE(exception.has_value());
    EXPECT_EQ(exception->code, uint32_t(SIGSEGV));
}

// Another handler put in place between guarded calls does not keep the next
// one from recovering; outside guarded calls, faults go to that handler,
// and guarded calls still recover afterwards.
TEST(KxFaultGuard, HandlersAreInForceForEveryCallAndForwardTheRest)
{
    const SurvivorDumps dumps(typeid(ForwardingSurvivor));
    const OwnSegvHandler own;
    ownHandlerCalls = 0;
    ForwardingSurvivor survivor;

    EXPECT_FALSE(callGuarded(survivor, &Survivor::faults));
    EXPECT_EQ(ownHandlerCalls, 0);

    if (sigsetjmp(t_ownRecovery, 1) == 0)
        faultOutsideAnyGuardedCall();
    EXPECT_EQ(ownHandlerCalls, 1);

    EXPECT_FALSE(callGuarded(survivor, &Survivor::faults));
    EXPECT_EQ(ownHandlerCalls, 1);
    EXPECT_EQ(survivor.unknownCalls, 2);
    EXPECT_EQ(dumps.files().size(), 2u);
}

// A SIGSEGV sent to the process is no fault of the guarded call: it has
// its normal effect, although the object would survive a fault.
TEST(KxFaultGuardDeathTest, ASentSignalIsNotTakenForAFault)
{
    const SurvivorDumps dumps(typeid(SignalledSurvivor));
    SignalledSurvivor survivor;
    EXPECT_DEATH(callGuarded(survivor, &Survivor::sendsItselfSegv), "");
    EXPECT_TRUE(dumps.files().empty());
}
