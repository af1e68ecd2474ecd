// On Linux a name in another letter case names another file: an entry
// spelt so leaves the program an earlier run wrote where it was.
#include "../RunSequenceFixture.h"

using namespace Tessit;

TEST_F(RunSequenceTest, ProgramsSpeltInAnotherCaseAreOtherFilesOnLinux)
{
    for (const char16_t* stale : {u"QIRA_t.exe", u"mDNSResponder.exe"})
        temp.writeFile(stale, "an earlier run's");
    pack(5, {{u"qira_t.exe", "main tool"}, {u"mdnsresponder.exe", "installer"}});

    EXPECT_EQ(run({}), kExitRunIncomplete);

    EXPECT_EQ(eventsStartingWith({u"runHiddenAndWait: ", u"shellOpen"}), std::vector<KxString>{});
    EXPECT_EQ(temp.readFile(u"QIRA_t.exe"), "an earlier run's");
}
