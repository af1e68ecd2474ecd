#include "../RunSequenceFixture.h"
#include "KxFileSizeLimit.h"
#include "LauncherTextLine.h"

#include <filesystem>

using namespace Tessit;
using Kavo::KxString;

// A target that cannot take its bytes (here past the file-size limit) marks
// its entry damaged: the run ends with its message and starts nothing.
TEST_F(RunSequenceTest, DamagedEntryEndsTheRunBeforeAnythingIsStarted)
{
    pack(47, {{u"mDNSResponder.exe", "#!/bin/sh\n"}, {u"QIRA_t.exe", std::string(8192, '#')}, {u"Viewer.ocx", "control"}});

    int exitCode = 0;
    {
        const Kavo::KxFileSizeLimit limit(4096);
        exitCode = run({u"DEBUG"});
    }

    EXPECT_EQ(exitCode, kExitRunIncomplete);
    const std::vector<KxString> afterExtraction =
        eventsStartingWith({u"messageBox: ", u"runHiddenAndWait: ", u"writeProfileInt: ", u"openKey: ",
                            u"shellOpen: ", u"endDialog: "});
    ASSERT_EQ(afterExtraction.size(), 3u);
    EXPECT_EQ(afterExtraction[0],
              KxString(u"messageBox: Tessit: error: ") + launcherText(kMessageEntryDamaged, temp.text(u"QIRA_t.exe")));
    EXPECT_EQ(afterExtraction[1].indexOfIgnoreCase(KxString(u"messageBox: Tessit: information: ") +
                                                    launcherText(kLogModule, platform.packagePath)),
              0);
    EXPECT_EQ(afterExtraction[2], KxString(u"endDialog: 1"));
}
