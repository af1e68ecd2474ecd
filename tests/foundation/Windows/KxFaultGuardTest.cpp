#include "KxDumpFiles.h"

#include "KxFoundation/KxObject.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <typeinfo>

using namespace Kavo;

namespace FaultGuardTest {

// Survives whatever a guarded call hands it.
class Survivor : public KxObject {
public:
    // The system's own handler inside IsBadReadPtr takes this fault: it
    // never leaves the function.
    void probesUnreadableMemory() { probeAnswer = IsBadReadPtr(reinterpret_cast<const void*>(uintptr_t(64)), 4); }

    void handleUnknown() override { ++unknownCalls; }

    BOOL probeAnswer = FALSE;
    int unknownCalls = 0;
};

} // namespace FaultGuardTest

using namespace FaultGuardTest;

namespace {

bool callGuarded(Survivor& object, void (Survivor::*function)())
{
    return object.invokeGuarded(static_cast<void (KxObject::*)()>(function));
}

const KxString kSurvivorDump(typeid(Survivor).name());

class SurvivorDumps {
public:
    SurvivorDumps() { removeDumpFilesNamed(kSurvivorDump); }
    ~SurvivorDumps() { removeDumpFilesNamed(kSurvivorDump); }
    std::vector<std::filesystem::path> files() const { return dumpFilesNamed(kSurvivorDump); }
};

} // namespace

TEST(KxFaultGuard, AFaultHandledInsideTheCallIsLeftAlone)
{
    const SurvivorDumps dumps;
    Survivor survivor;
    EXPECT_TRUE(callGuarded(survivor, &Survivor::probesUnreadableMemory));
    EXPECT_TRUE(survivor.probeAnswer);
    EXPECT_EQ(survivor.unknownCalls, 0);
    EXPECT_TRUE(dumps.files().empty());
}
