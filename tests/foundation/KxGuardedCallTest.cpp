#include "KxDumpFiles.h"
#include "KxMinidumpReader.h"
#include "KxTestPrinting.h"

#include "KxFoundation/KxDump.h"
#include "KxFoundation/KxException.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Kavo;

namespace GuardedCallTest {

// Overrides every handler so that a guarded call can come back.
class Probe : public KxObject {
public:
    void returns() {}
    void raisesRange() { throw KxRangeException(u"KxString::substring()", KxRange{0, 4, 7}); }
    void raisesObject() { throw KxString(u"thrown text"); }
    void raisesStd() { throw std::out_of_range("index"); }
    void raisesInt() { throw 42; }

    void handleException(KxException& exception) override { record("exception", exception.toString()); }
    void handleObject(KxObject& object) override { record("object", object.toString()); }
    void handleStdException(const std::exception& exception) override { record("std", KxString(exception.what())); }
    void handleUnknown() override { record("unknown", KxString()); }

    std::string handled;
    KxString message;
    int handlerCalls = 0;

private:
    void record(const char* handler, const KxString& text)
    {
        handled = handler;
        message = text;
        ++handlerCalls;
    }
};

class DefaultHandlers : public KxObject {
public:
    void raisesRange() { throw KxRangeException(u"KxString::substring()", KxRange{0, 4, 7}); }
};

class Faulting : public KxObject {
public:
    // An unmapped address rather than null, which a sanitised build would
    // report before the store faults.
    void faults()
    {
        volatile int* volatile nowhere = reinterpret_cast<volatile int*>(uintptr_t(64));
        *nowhere = 1;
    }
};

} // namespace GuardedCallTest

using namespace GuardedCallTest;

namespace {

template <typename Object>
bool callGuarded(Object& object, void (Object::*function)())
{
    return object.invokeGuarded(static_cast<void (KxObject::*)()>(function));
}

const KxString kProbeDump(u"GuardedCallTest__Probe");

} // namespace

TEST(KxGuardedCall, EscapedExceptionsLeaveOneDumpAndReachTheirHandler)
{
    struct Case { void (Probe::*function)(); bool result; const char* handler; const char16_t* message; std::size_t dumps; };
    for (const Case& c : std::vector<Case>{
             {&Probe::returns, true, "", u"", 0},
             {&Probe::raisesRange, false, "exception", u"\"KxString::substring()\", 7 in [0, 4]", 1},
             {&Probe::raisesObject, false, "object", u"thrown text", 1},
             {&Probe::raisesStd, false, "std", u"index", 1},
             {&Probe::raisesInt, false, "unknown", u"", 1},
         }) {
        removeDumpFilesNamed(kProbeDump);
        Probe probe;
        EXPECT_EQ(callGuarded(probe, c.function), c.result) << c.handler;
        EXPECT_EQ(probe.handled, c.handler);
        EXPECT_EQ(probe.handlerCalls, c.result ? 0 : 1);
        EXPECT_EQ(probe.message, KxString(c.message));
        EXPECT_EQ(dumpFilesNamed(kProbeDump).size(), c.dumps) << c.handler;
    }
    removeDumpFilesNamed(kProbeDump);
}

TEST(KxGuardedCallDeathTest, DefaultHandlerAbortsAfterTheDump)
{
    const KxString dumpName(u"GuardedCallTest__DefaultHandlers");
    removeDumpFilesNamed(dumpName);
    DefaultHandlers object;
    EXPECT_DEATH(callGuarded(object, &DefaultHandlers::raisesRange), "");
    EXPECT_EQ(dumpFilesNamed(dumpName).size(), 1u);
    removeDumpFilesNamed(dumpName);
}

TEST(KxGuardedCallDeathTest, HardwareFaultIsDumpedWithItsContextThenTakesItsCourse)
{
    const KxString dumpName(u"GuardedCallTest__Faulting");
    removeDumpFilesNamed(dumpName);
    Faulting object;
    EXPECT_DEATH(callGuarded(object, &Faulting::faults), "");

    const auto files = dumpFilesNamed(dumpName);
    ASSERT_EQ(files.size(), 1u);
    const KxMinidumpReader dump(files[0].u8string());
    const auto exception = dump.exception();
    ASSERT_TRUE(exception.has_value());
    EXPECT_NE(exception->code, 0u);
    EXPECT_GT(exception->context.size, 0u);
    bool faultingThreadListed = false;
    for (const auto& thread : dump.threads())
        faultingThreadListed |= thread.id == exception->threadId;
    EXPECT_TRUE(faultingThreadListed);
    removeDumpFilesNamed(dumpName);
}
