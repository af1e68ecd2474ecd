// While the main tool is started no extracted file can be changed, a
// library beside it included: every entry is held from its write until the
// run ends.
#include "../RunSequenceFixture.h"

#include <windows.h>

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

TEST_F(RunSequenceTest, EveryEntryIsHeldUntilTheMainToolHasStarted)
{
    const std::vector<std::u16string> names{u"QIRA_t.exe", u"helper.dll", u"docs\\readme.txt", u"Viewer.ocx"};
    pack(5, {{names[0], "main tool"}, {names[1], "library"}, {names[2], "read me"}, {names[3], "control"}});
    std::vector<Changes> whileStarting;
    platform.whenMainToolStarts = [&] {
        for (const std::u16string& name : names)
            whileStarting.push_back(tryToChange(temp.at(name)));
    };

    EXPECT_EQ(run({}), kExitMainToolStarted);

    ASSERT_EQ(whileStarting.size(), names.size());
    for (size_t index = 0; index < names.size(); ++index) {
        SCOPED_TRACE(testing::PrintToString(Kavo::KxString(names[index].c_str())));
        EXPECT_FALSE(whileStarting[index].written);
        EXPECT_FALSE(whileStarting[index].renamed);
        EXPECT_FALSE(whileStarting[index].deleted);
        EXPECT_TRUE(tryToChange(temp.at(names[index])).written) << "the hold ends with the run";
    }
}
