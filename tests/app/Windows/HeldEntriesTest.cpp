// The programs the run starts cannot be changed before they have started:
// each is held from its write until the run ends. Every other entry is the
// installer's to write, rename or delete, as installers do with the files
// they were shipped with.
#include "../RunSequenceFixture.h"

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

using namespace Tessit;

namespace {

// What another program of the user could do to the file now.
struct Changes {
    bool written;
    bool renamed;
    bool deleted;
};

Changes tryToChange(const std::filesystem::path& file)
{
    Changes changes{};
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    changes.written = handle != INVALID_HANDLE_VALUE;
    if (changes.written)
        CloseHandle(handle);
    const std::filesystem::path moved = file.wstring() + L".moved";
    changes.renamed = MoveFileExW(file.c_str(), moved.c_str(), 0) != FALSE;
    if (changes.renamed)
        MoveFileExW(moved.c_str(), file.c_str(), 0);
    changes.deleted = !changes.renamed && DeleteFileW(file.c_str()) != FALSE;
    return changes;
}

} // namespace

TEST_F(RunSequenceTest, OnlyTheProgramsAreHeldUntilTheMainToolHasStarted)
{
    const std::vector<std::u16string> programs{u"QIRA_t.exe", u"Viewer.ocx", u"mDNSResponder.exe"};
    pack(5, {{programs[0], "main tool"},
             {programs[1], "control"},
             {programs[2], "installer"},
             {u"settings.ini", "settings"},
             {u"helper.dll", "library"},
             {u"docs\\readme.txt", "read me"}});
    bool settingsWritten = false, libraryRenamed = false, readMeDeleted = false;
    platform.whileInstallerRuns = [&] {
        std::ofstream settings(temp.at(u"settings.ini"), std::ios::binary | std::ios::app);
        settingsWritten = bool(settings << "[changed]");
        libraryRenamed = MoveFileExW(temp.at(u"helper.dll").c_str(), temp.at(u"helper.old").c_str(), 0) != FALSE;
        readMeDeleted = DeleteFileW(temp.at(u"docs/readme.txt").c_str()) != FALSE;
    };
    std::vector<Changes> whileStarting;
    platform.whenMainToolStarts = [&] {
        for (const std::u16string& name : programs)
            whileStarting.push_back(tryToChange(temp.at(name)));
    };

    EXPECT_EQ(run({}), kExitMainToolStarted);

    EXPECT_TRUE(settingsWritten);
    EXPECT_TRUE(libraryRenamed);
    EXPECT_TRUE(readMeDeleted);
    ASSERT_EQ(whileStarting.size(), programs.size());
    for (size_t index = 0; index < programs.size(); ++index) {
        SCOPED_TRACE(testing::PrintToString(Kavo::KxString(programs[index].c_str())));
        EXPECT_FALSE(whileStarting[index].written);
        EXPECT_FALSE(whileStarting[index].renamed);
        EXPECT_FALSE(whileStarting[index].deleted);
        EXPECT_TRUE(tryToChange(temp.at(programs[index])).written) << "the hold ends with the run";
    }
}

// Windows drops the dots and spaces that end a name and folds its case: an
// entry spelt so writes the program, which is then started.
TEST_F(RunSequenceTest, ProgramsSpeltTheWaysWindowsReadsThemAreStarted)
{
    pack(5, {{u"mdnsresponder.EXE. ", "installer"}, {u"qira_t.exe.", "main tool"}});

    EXPECT_EQ(run({}), kExitMainToolStarted);

    EXPECT_EQ(eventsStartingWith({u"runHiddenAndWait: "}).size(), 1u);
    EXPECT_EQ(temp.readFile(u"QIRA_t.exe"), "main tool");
}
