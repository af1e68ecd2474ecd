#include "../RunSequenceFixture.h"

#include <filesystem>

using namespace Tessit;
using Kavo::KxString;

// A target that cannot take its bytes (here a link to a full device) marks
// its entry damaged: the run ends with its message and starts nothing.
TEST_F(RunSequenceTest, DamagedEntryEndsTheRunBeforeAnythingIsStarted)
{
    pack(47, {{u"mDNSResponder.exe", "#!/bin/sh\n"}, {u"QIRA_t.exe", "#!/bin/sh\n"}, {u"Viewer.ocx", "control"}});
    std::filesystem::create_symlink("/dev/full", temp.at(u"QIRA_t.exe"));

    EXPECT_EQ(run({u"DEBUG"}), kExitRunIncomplete);

    const std::vector<KxString> afterExtraction =
        eventsStartingWith({u"messageBox: ", u"runHiddenAndWait: ", u"writeProfileInt: ", u"openKey: ",
                            u"shellOpen: ", u"endDialog: "});
    ASSERT_EQ(afterExtraction.size(), 3u);
    EXPECT_EQ(afterExtraction[0],
              KxString(u"messageBox: Tessit: error: Can not write ") + temp.text(u"QIRA_t.exe") + u" file!!!");
    EXPECT_EQ(afterExtraction[1].indexOfIgnoreCase(u"messageBox: Tessit: information: Module : "), 0);
    EXPECT_EQ(afterExtraction[2], KxString(u"endDialog: 1"));
}
