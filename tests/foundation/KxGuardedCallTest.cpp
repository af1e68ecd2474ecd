#include "KxDumpFiles.h"
#include "KxMinidumpReader.h"
#include "KxTestPrinting.h"

#include "KxDump.h"
#include "KxFaultGuard.h"
#include "KxFoundation/KxException.h"

#include <gtest/gtest.h>

#include <unwind.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

using namespace Kavo;

namespace GuardedCallTest {

// A store to an unmapped address rather than to null, which a sanitised
// build would report before the store faults.
[[gnu::noinline]] void writeNowhere()
{
    volatile int* volatile nowhere = reinterpret_cast<volatile int*>(uintptr_t(64));
    *nowhere = 1;
}

[[gnu::noinline]] void throwFromHere() { throw 42; }

// Whether `address` lies in `function`'s code, as the unwind tables tell.
bool pointsInto(uint64_t address, void (*function)())
{
    return _Unwind_FindEnclosingFunction(reinterpret_cast<void*>(uintptr_t(address))) ==
           reinterpret_cast<void*>(function);
}

// A return address follows its call, which may be the last instruction of
// a function that does not return.
bool returnsInto(uint64_t address, void (*function)()) { return pointsInto(address - 1, function); }

// Overrides every handler so that a guarded call can come back.
class Probe : public KxObject {
public:
    void returns() {}
    void raisesRange() { throw KxRangeException(u"KxString::substring()", KxRange{0, 4, 7}); }
    void raisesObject() { throw KxString(u"thrown text"); }
    void raisesStd() { throw std::out_of_range("index"); }
    void raisesInt() { throwFromHere(); }
    void faults() { writeNowhere(); }
    void catchesInside()
    {
        try {
            throwFromHere();
        } catch (int) {
        }
    }
    void nestsAFault();

    void handleException(KxException& exception) override { record("exception", exception.toString()); }
    void handleObject(KxObject& object) override { record("object", object.toString()); }
    void handleStdException(const std::exception& exception) override { record("std", KxString(exception.what())); }
    void handleUnknown() override { record("unknown", KxString()); }

    std::string handled;
    KxString message;
    int handlerCalls = 0;
    bool innerResult = true;
    std::string innerHandled;

private:
    void record(const char* handler, const KxString& text)
    {
        handled = handler;
        message = text;
        ++handlerCalls;
    }
};

// One class per test, so that tests running side by side never count each
// other's dumps: a dump is named after the class.
class FaultProbe : public Probe {};
class ThrowProbe : public Probe {};
class InnerProbe : public Probe {};
class OuterProbe : public Probe {};

class DefaultHandlers : public KxObject {
public:
    void raisesRange() { throw KxRangeException(u"KxString::substring()", KxRange{0, 4, 7}); }
    void faults() { writeNowhere(); }
};

} // namespace GuardedCallTest

using namespace GuardedCallTest;

namespace {

template <typename Object, typename Class>
bool callGuarded(Object& object, void (Class::*function)())
{
    return object.invokeGuarded(static_cast<void (KxObject::*)()>(function));
}

// The dumps of one class, removed before and after the test; `only` reads
// the one a test case left.
class ProbeDumps {
public:
    explicit ProbeDumps(const std::type_info& type) : m_name(type.name())
    {
        removeDumpFilesNamed(m_name);
    }
    ~ProbeDumps() { removeDumpFilesNamed(m_name); }
    std::size_t count() const { return dumpFilesNamed(m_name).size(); }
    KxMinidumpReader only() const
    {
        const auto files = dumpFilesNamed(m_name);
        if (files.size() != 1)
            throw std::runtime_error(std::to_string(files.size()) + " dumps instead of one");
        return KxMinidumpReader(files[0].u8string());
    }

private:
    KxString m_name;
};

} // namespace

void Probe::nestsAFault()
{
    InnerProbe inner;
    innerResult = callGuarded(inner, &Probe::faults);
    innerHandled = inner.handled;
}

TEST(KxGuardedCall, EscapedExceptionsLeaveOneDumpAndReachTheirHandler)
{
    struct Case { void (Probe::*function)(); bool result; const char* handler; const char16_t* message; std::size_t dumps; };
    for (const Case& c : std::vector<Case>{
             {&Probe::returns, true, "", u"", 0},
             {&Probe::raisesRange, false, "exception", u"\"KxString::substring()\", 7 in [0, 4]", 1},
             {&Probe::raisesObject, false, "object", u"thrown text", 1},
             {&Probe::raisesStd, false, "std", u"index", 1},
             {&Probe::raisesInt, false, "unknown", u"", 1},
             {&Probe::faults, false, "unknown", u"", 1},
             {&Probe::catchesInside, true, "", u"", 0},
         }) {
        const ProbeDumps dumps(typeid(Probe));
        Probe probe;
        EXPECT_EQ(callGuarded(probe, c.function), c.result) << c.handler;
        EXPECT_EQ(probe.handled, c.handler);
        EXPECT_EQ(probe.handlerCalls, c.result ? 0 : 1);
        EXPECT_EQ(probe.message, KxString(c.message));
        EXPECT_EQ(dumps.count(), c.dumps) << c.handler;
    }
}

// The call comes back, and the process goes on: again and again.
TEST(KxGuardedCall, AFaultIsDumpedAtTheFaultingInstructionAndEndsOnlyTheCall)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ProbeDumps dumps(typeid(FaultProbe));
        FaultProbe probe;
        ASSERT_FALSE(callGuarded(probe, &Probe::faults));
        EXPECT_EQ(probe.handled, "unknown");

        const KxMinidumpReader dump = dumps.only();
        const auto exception = dump.exception();
        ASSERT_TRUE(exception.has_value());
        const uint64_t faultingInstruction = dump.instructionPointer(exception->context);
        EXPECT_TRUE(pointsInto(faultingInstruction, writeNowhere)) << std::hex << faultingInstruction;
        if (dump.platformId() == KxMinidumpReader::kPlatformLinux) {
            EXPECT_EQ(exception->code, 11u); // SIGSEGV
            EXPECT_EQ(exception->address, 64u);
        } else {
            EXPECT_EQ(exception->code, 0xC0000005u); // access violation
            EXPECT_EQ(exception->address, faultingInstruction);
        }
        const auto threads = dump.threads();
        EXPECT_TRUE(std::any_of(threads.begin(), threads.end(),
                                [&](const auto& thread) { return thread.id == exception->threadId; }));
    }
}

// Written before anything unwinds: the throwing function's frame, which the
// unwinding removes, is still on the dumped stack above the exception's
// stack pointer.
TEST(KxGuardedCall, AThrowLeavingTheCallIsDumpedWithTheThrowStillOnTheStack)
{
    const ProbeDumps dumps(typeid(ThrowProbe));
    ThrowProbe probe;
    ASSERT_FALSE(callGuarded(probe, &Probe::raisesInt));

    const KxMinidumpReader dump = dumps.only();
    const auto exception = dump.exception();
    ASSERT_TRUE(exception.has_value());
    EXPECT_EQ(exception->code, kKxThrownExceptionCode);
    const auto words = dump.stackWordsFrom(dump.stackPointer(exception->context),
                                           KxMinidumpReader::wordBytesOf(exception->context));
    EXPECT_TRUE(std::any_of(words.begin(), words.end(), [](uint64_t word) { return returnsInto(word, throwFromHere); }))
        << words.size() << " stack words";
}

TEST(KxGuardedCall, NestedCallsEachKeepTheirOwnFaults)
{
    const ProbeDumps innerDumps(typeid(InnerProbe));
    const ProbeDumps outerDumps(typeid(OuterProbe));
    OuterProbe outer;
    EXPECT_TRUE(callGuarded(outer, &Probe::nestsAFault));
    EXPECT_FALSE(outer.innerResult);
    EXPECT_EQ(outer.innerHandled, "unknown");
    EXPECT_EQ(outer.handlerCalls, 0);
    EXPECT_EQ(innerDumps.count(), 1u);
    EXPECT_EQ(outerDumps.count(), 0u);

    EXPECT_FALSE(callGuarded(outer, &Probe::faults));
    EXPECT_EQ(outer.handled, "unknown");
    EXPECT_EQ(innerDumps.count(), 1u);
    EXPECT_EQ(outerDumps.count(), 1u);
}

TEST(KxGuardedCallDeathTest, DefaultHandlerAbortsAfterTheDump)
{
    struct Case { const char* label; void (DefaultHandlers::*function)(); };
    for (const Case& c : {Case{"exception", &DefaultHandlers::raisesRange}, Case{"fault", &DefaultHandlers::faults}}) {
        const ProbeDumps dumps(typeid(DefaultHandlers));
        DefaultHandlers object;
        EXPECT_DEATH(callGuarded(object, c.function), "") << c.label;
        EXPECT_EQ(dumps.count(), 1u) << c.label;
    }
}
