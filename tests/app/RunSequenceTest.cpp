#include "LauncherTextLine.h"
#include "RunSequenceFixture.h"

#include <algorithm>
#include <string>

using namespace Tessit;
using Kavo::KxString;

namespace {

const std::string kInstaller = "#!/bin/sh\nexit 7\n";
const std::string kMainTool = "#!/bin/sh\necho main\n";
const std::string kReadme = "read me\n";
const std::string kControl = "control";

KxString repeated(char16_t unit, size_t count) { return KxString(std::u16string(count, unit).c_str()); }

KxString banner(const char16_t* source) { return repeated(u'&', 23) + source + repeated(u'&', 27) + u"\n"; }

} // namespace

TEST_F(RunSequenceTest, FullRunWithDebugStartsEverythingInOrderThenShowsTheLog)
{
    pack(47, {{u"mDNSResponder.exe", kInstaller},
              {u"QIRA_t.exe", kMainTool},
              {u"docs\\readme.txt", kReadme},
              {u"Viewer.OCX", kControl}});

    EXPECT_EQ(run({u"-NAME:ModelX", u"DEBUG"}), kExitMainToolStarted);

    const KxString tempPath = temp.text();
    const KxString packagePath = downloads.text(u"Setup.exe");
    KxString log;
    log.format(u"Module : %@\ncodeSignSize: [0, 0]\npadding size: [0]\nTemp Path : %@\nOEM : 47\nCount : 4\n",
               &packagePath, &tempPath);
    log.appendFormat(u"File01 : %@mDNSResponder.exe(%d)\nFile02 : %@QIRA_t.exe(%d)\n", &tempPath,
                     int(kInstaller.size()), &tempPath, int(kMainTool.size()));
    log.appendFormat(u"make folder: [docs]\nFile03 : %@docs\\readme.txt(%d)\nFile04 : %@Viewer.OCX(%d)\n",
                     &tempPath, int(kReadme.size()), &tempPath, int(kControl.size()));
    log.appendFormat(u"Register : %@Viewer.OCX\nExecute : %@QIRA_t.exe\n", &tempPath, &tempPath);

    const std::vector<KxString> expectedEvents = {
        u"createMutex: QIRA_ZIP Instance",
        u"setRegistryKey: QIRA, QIRA",
        u"runModalDialog",
        u"setIcon: big",
        u"setIcon: small",
        u"setWindowText: QIRA",
        u"setTimer: 100, 20",
        u"defaultPaint",
        u"killTimer: 100",
        KxString(u"runHiddenAndWait: ") + tempPath + u"mDNSResponder.exe | [-install]",
        u"writeProfileInt: UI\\OEM = 47",
        KxString(u"openKey: ") + kMuiCachePath,
        KxString(u"queryValue: ") + tempPath + u"QIRA_t.exe",
        KxString(u"deleteValue: ") + tempPath + u"QIRA_t.exe",
        u"closeKey",
        KxString(u"shellOpen: regsvr32 | [/s] [") + tempPath + u"Viewer.OCX] |  | 0",
        KxString(u"shellOpen: ") + tempPath + u"QIRA_t.exe | [0\t47\tModelX\t] | " + tempPath + u" | 10",
        KxString(u"messageBox: Tessit: information: ") + log,
        u"defaultHandling",
        u"endDialog: 1",
        u"releaseMutex: QIRA_ZIP Instance",
    };
    std::vector<KxString> events;
    for (const KxString& event : platform.events) {
        if (event.indexOfIgnoreCase(u"debug: ") != 0)
            events.push_back(event);
    }
    EXPECT_EQ(events, expectedEvents);

    const std::vector<KxString> expectedTrace = {
        banner(u"Tessit"),
        u"oemChecker:-1\n",
        u"setOemId!!!!!!!!!!!!!\n",
        u"Start TessitDlg\n",
        u"~~~~~~~~~~~~DeviceFile~~~~~~~~~~~~~~\n",
        u"zipFile Closed...\n",
        repeated(u'*', 53) + u"\n",
        u"setOriginalOemId\n",
        u"ORIGINAL\n",
        u"Selected Model Name...\n",
        banner(u"TessitDlg"),
        u"0\t47\tModelX\t",
        u"\n",
        u"Year~",
    };
    EXPECT_EQ(platform.debugLines, expectedTrace);

    EXPECT_EQ(temp.readFile(u"QIRA_t.exe"), kMainTool);
    EXPECT_EQ(temp.readFile(u"docs/readme.txt"), kReadme);
    EXPECT_TRUE(platform.registryValues[kMuiCachePath].empty());
}

TEST_F(RunSequenceTest, ParameterLineCarriesTheOptionsWhileTheProfileKeepsThePackagesNumber)
{
    struct Case {
        std::vector<const char16_t*> arguments;
        const char16_t* parameters;
        const char16_t* choice;
        bool modelNamed;
    };
    const std::vector<Case> cases = {
        {{}, u"0\t47\t", kTracePackageOemChosen, false},
        {{u"-OEM:0"}, u"0\t0\t", kTraceOverrideOemChosen, false},
        {{u"-diagnosis", u"-OEM:12", u"-NAME:Model X"}, u"1\t12\tModel X\t", kTraceOverrideOemChosen, true},
        {{u"-OEM:-3", u"-name:a\tb"}, u"0\t47\ta\tb\t", kTracePackageOemChosen, true},
    };
    pack(47, {{u"QIRA_t.exe", kMainTool}});
    for (const Case& c : cases) {
        platform.events.clear();
        platform.debugLines.clear();
        EXPECT_EQ(run(c.arguments), kExitMainToolStarted);

        const KxString label(c.parameters);
        const std::vector<KxString> launches = eventsStartingWith({u"shellOpen: "});
        ASSERT_EQ(launches.size(), 1u) << testing::PrintToString(label);
        EXPECT_EQ(launches[0], KxString(u"shellOpen: ") + temp.text(u"QIRA_t.exe") + u" | [" + c.parameters + u"] | " +
                                   temp.text() + u" | 10");
        EXPECT_EQ(eventsStartingWith({u"writeProfileInt: "}), std::vector<KxString>{u"writeProfileInt: UI\\OEM = 47"});
        const auto& trace = platform.debugLines;
        EXPECT_NE(std::find(trace.begin(), trace.end(), KxString(c.choice)), trace.end()) << testing::PrintToString(label);
        EXPECT_EQ(std::find(trace.begin(), trace.end(), KxString(kTraceModelNameAdded)) != trace.end(),
                  c.modelNamed) << testing::PrintToString(label);
        EXPECT_TRUE(eventsStartingWith({u"messageBox: "}).empty()) << "no DEBUG, no log box";
    }
}

TEST_F(RunSequenceTest, OnlyControlsThatStayInsideTheTemporaryFolderAreRegistered)
{
    pack(1, {{u"Viewer.OCX", kControl},
             {u"viewer.ocx.bak", kControl},
             {u"noextension", kControl},
             {u"my controls\\Grid.ocx", kControl},
             {u"..\\outside.ocx", kControl},
             {u"QIRA_t.exe", kMainTool}});

    EXPECT_EQ(run({}), kExitMainToolStarted);

    const KxString tempPath = temp.text();
    EXPECT_EQ(eventsStartingWith({u"shellOpen: regsvr32"}),
              (std::vector<KxString>{KxString(u"shellOpen: regsvr32 | [/s] [") + tempPath + u"Viewer.OCX] |  | 0",
                                     KxString(u"shellOpen: regsvr32 | [/s] [") + tempPath +
                                         u"my controls\\Grid.ocx] |  | 0"}));
    EXPECT_FALSE(std::filesystem::exists(temp.path().parent_path() / "outside.ocx"));
}

TEST_F(RunSequenceTest, NeitherTheInstallersResultNorAnAbsentCacheValueStopsTheRun)
{
    pack(5, {{u"QIRA_t.exe", kMainTool}});
    platform.installerExitCode.reset();
    platform.registryValues[kMuiCachePath].clear();

    EXPECT_EQ(run({}), kExitMainToolStarted);

    EXPECT_EQ(eventsStartingWith({u"queryValue: ", u"deleteValue: "}),
              std::vector<KxString>{KxString(u"queryValue: ") + temp.text(u"QIRA_t.exe")});
    EXPECT_EQ(eventsStartingWith({u"shellOpen: "}).size(), 1u);
}

// Only a main tool that was started makes the run a success; the steps
// before it run as ever.
TEST_F(RunSequenceTest, AMainToolThatDoesNotStartEndsTheRunWithFailure)
{
    pack(5, {{u"mDNSResponder.exe", kInstaller}, {u"Viewer.ocx", kControl}, {u"QIRA_t.exe", kMainTool}});
    platform.programsStart = false;

    EXPECT_EQ(run({}), kExitRunIncomplete);

    EXPECT_EQ(eventsStartingWith({u"runHiddenAndWait: ", u"writeProfileInt: ", u"shellOpen: "}).size(), 4u);
    EXPECT_EQ(platform.debugLines.back(), KxString(kTraceWindowClosed));
}

// Programs an earlier run left in the temporary folder are never started
// for ones this run's package lacks or could not write (a file stands where
// the control's folder would be): without a main tool of its own the run
// fails.
TEST_F(RunSequenceTest, ProgramsThisRunDidNotWriteAreNeverStarted)
{
    for (const char16_t* stale : {u"QIRA_t.exe", u"mDNSResponder.exe", u"Viewer.ocx"})
        temp.writeFile(stale, "an earlier run's");
    temp.writeFile(u"controls", "a file, no folder");
    pack(5, {{u"readme.txt", "read me"}, {u"controls\\Grid.ocx", kControl}, {u"Viewer.ocx.txt", "not a control"}});

    EXPECT_EQ(run({}), kExitRunIncomplete);

    EXPECT_EQ(eventsStartingWith({u"runHiddenAndWait: ", u"shellOpen"}), std::vector<KxString>{});
    EXPECT_NE(eventsStartingWith({u"writeProfileInt: "}), std::vector<KxString>{}) << "the steps between still run";
}

// A program is the file this run wrote, whichever entry's spelling wrote it:
// a name that starts with the folder's own level or a separator writes the
// same file as the bare name, and that file is started.
TEST_F(RunSequenceTest, ProgramsAreTheFilesThisRunWroteHoweverTheirEntriesAreSpelt)
{
    pack(5, {{u".\\mDNSResponder.exe", kInstaller}, {u"\\QIRA_t.exe", kMainTool}, {u"./Viewer.ocx", kControl}});

    EXPECT_EQ(run({}), kExitMainToolStarted);

    const KxString tempPath = temp.text();
    EXPECT_EQ(eventsStartingWith({u"runHiddenAndWait: ", u"shellOpen: "}),
              (std::vector<KxString>{KxString(u"runHiddenAndWait: ") + tempPath + u"mDNSResponder.exe | [-install]",
                                     KxString(u"shellOpen: regsvr32 | [/s] [") + tempPath + u"./Viewer.ocx] |  | 0",
                                     KxString(u"shellOpen: ") + tempPath + u"QIRA_t.exe | [0\t5\t] | " + tempPath +
                                         u" | 10"}));
}

TEST_F(RunSequenceTest, MissingExecutableShowsItsMessageThenTheEmptyLog)
{
    platform.packagePath = downloads.text(u"Missing.exe");

    EXPECT_EQ(run({u"DEBUG"}), kExitRunIncomplete);

    EXPECT_EQ(eventsStartingWith({u"messageBox: ", u"runHiddenAndWait: ", u"shellOpen: ", u"endDialog: "}),
              (std::vector<KxString>{KxString(u"messageBox: Tessit: error: ") +
                                         launcherText(kMessageExecutableNotFound, platform.packagePath),
                                     u"messageBox: Tessit: information: ", u"endDialog: 1"}));
}

// The temporary folder is settled once the footer is found: without one the
// package is closed before its header is read, and nothing is written.
TEST_F(RunSequenceTest, WithoutATemporaryFolderThePackageIsClosedBeforeItsHeader)
{
    pack(5, {{u"QIRA_t.exe", kMainTool}});
    platform.temporaryFolder = KxString();

    EXPECT_EQ(run({u"DEBUG"}), kExitRunIncomplete);

    const KxString packagePath = downloads.text(u"Setup.exe");
    KxString log;
    log.format(u"Module : %@\ncodeSignSize: [0, 0]\npadding size: [0]\nTemp Path : \n", &packagePath);
    const KxString packageClosed = KxString(u"debug: ") + kTracePackageClosed;
    EXPECT_EQ(eventsStartingWith({packageClosed.c_str(), u"messageBox: ", u"runHiddenAndWait: ", u"shellOpen: "}),
              (std::vector<KxString>{packageClosed, KxString(u"messageBox: Tessit: error: ") + kMessageNoTempFolder,
                                     KxString(u"messageBox: Tessit: information: ") + log}));
}

TEST_F(RunSequenceTest, ExitsBeforeTheWindowWhenStartUpRefuses)
{
    pack(5, {{u"QIRA_t.exe", kMainTool}});

    EXPECT_EQ(run({u"a", u"b", u"c", u"d"}), kExitTooManyArguments);
    EXPECT_TRUE(platform.events.empty()) << "no mutex, window, box or trace";

    platform.anotherInstanceRuns = true;
    EXPECT_EQ(run({u"DEBUG"}), kExitAlreadyRunning);
    EXPECT_EQ(eventsStartingWith({u"createMutex: ", u"releaseMutex: ", u"messageBox: ", u"runModalDialog"}),
              (std::vector<KxString>{u"createMutex: QIRA_ZIP Instance", u"releaseMutex: QIRA_ZIP Instance",
                                     KxString(u"messageBox: ") + kWindowTitle + u": warning: " +
                                         kMessageAlreadyRunning}));
    EXPECT_FALSE(platform.mutexHeld);
}

TEST_F(RunSequenceTest, CancelBeforeTheTimerRunsNothing)
{
    pack(5, {{u"QIRA_t.exe", kMainTool}});
    platform.beforeFirstTimer = [](DialogHost& host) { host.endDialog(kDialogCancel); };

    EXPECT_EQ(run({u"DEBUG"}), kExitRunIncomplete);

    EXPECT_EQ(platform.debugLines.back(), KxString(u"What?"));
    const KxString locating = KxString(u"debug: ") + kTraceLocatingPackage;
    EXPECT_TRUE(eventsStartingWith({locating.c_str(), u"messageBox: ", u"shellOpen: "}).empty());
    EXPECT_FALSE(platform.mutexHeld);
}
