// What holding a file and making one without following reparse points mean
// on Windows: a program that an elevated launcher starts from a folder the
// user's other programs can write cannot be swapped in between.
#include "KxTestFolder.h"

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxFolder.h"
#include "KxFoundation/KxReplacement.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <vector>

using namespace Kavo;
namespace fs = std::filesystem;

namespace {

// What another program might try on the file; true for each that worked.
struct Attempts {
    bool overwritten;
    bool renamed;
    bool deleted;
};

Attempts tryToReplace(const fs::path& path)
{
    const HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool overwritten = writer != INVALID_HANDLE_VALUE;
    if (overwritten)
        CloseHandle(writer);
    const fs::path moved = path.wstring() + L".moved";
    const bool renamed = MoveFileExW(path.c_str(), moved.c_str(), 0) != FALSE;
    if (renamed)
        MoveFileExW(moved.c_str(), path.c_str(), 0);
    const fs::path copy = path.wstring() + L".copy";
    CopyFileW(path.c_str(), copy.c_str(), FALSE);
    const bool deleted = DeleteFileW(path.c_str()) != FALSE;
    if (deleted)
        MoveFileExW(copy.c_str(), path.c_str(), 0);
    return Attempts{overwritten, renamed, deleted};
}

fs::path thisProgram()
{
    std::vector<wchar_t> buffer(32768, L'\0');
    GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    return fs::path(buffer.data());
}

} // namespace

// Held, a program can be neither written, renamed nor deleted, and it still
// starts; closed, all three work again.
TEST(KxHeldFile, ProgramsHeldCannotBeReplacedAndStillStart)
{
    KxTestFolder folder;
    const fs::path program = folder.at(u"held.exe");
    fs::copy_file(thisProgram(), program);

    KxFolder opened;
    ASSERT_TRUE(opened.open(folder.text()));
    KxFile held;
    ASSERT_TRUE(held.openHeldIn(opened, KxString(u"held.exe")));
    const Attempts whileHeld = tryToReplace(program);
    EXPECT_FALSE(whileHeld.overwritten);
    EXPECT_FALSE(whileHeld.renamed);
    EXPECT_FALSE(whileHeld.deleted);

    std::wstring commandLine = L"\"" + program.wstring() + L"\" --gtest_list_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(exitCode, 0u);

    held.close();
    const Attempts released = tryToReplace(program);
    EXPECT_TRUE(released.overwritten);
    EXPECT_TRUE(released.renamed);
    EXPECT_TRUE(released.deleted);
}

// A symbolic link, to a file or a folder, is never taken for what it leads
// to: it is no folder level to open, a held file is not opened through it,
// and replacing it replaces the link.
TEST(KxHeldFile, ReparsePointsAreNeverFollowed)
{
    KxTestFolder folder;
    fs::create_directories(folder.at(u"target-dir"));
    folder.writeFile(u"target.txt", "target");
    if (!CreateSymbolicLinkW(folder.at(u"dir-link").c_str(), folder.at(u"target-dir").c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
        !CreateSymbolicLinkW(folder.at(u"file-link").c_str(), folder.at(u"target.txt").c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "symbolic links cannot be made here: error " << GetLastError();
    // Wine 8's CreateSymbolicLinkW reports success and makes nothing.
    for (const char16_t* link : {u"dir-link", u"file-link"}) {
        const DWORD attributes = GetFileAttributesW(folder.at(link).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            GTEST_SKIP() << "the system reported a symbolic link made, but there is none";
    }

    KxFolder opened;
    ASSERT_TRUE(opened.open(folder.text()));
    KxFolder level;
    EXPECT_TRUE(level.openLevel(opened, KxString(u"target-dir")));
    EXPECT_FALSE(level.openLevel(opened, KxString(u"dir-link")));
    EXPECT_EQ(opened.entry(KxString(u"dir-link")), KxFolderEntry::Other);
    KxFile file;
    EXPECT_FALSE(file.openHeldIn(opened, KxString(u"file-link")));
    EXPECT_FALSE(file.openHeldIn(opened, KxString(u"dir-link")));

    KxReplacement replacement(opened, KxString(u"file-link"), KxString(u".kind-"), KxReplacementAccess::UserOnly);
    ASSERT_TRUE(replacement.create());
    EXPECT_EQ(replacement.file().write("new", 3), 3);
    ASSERT_TRUE(replacement.finish());
    EXPECT_TRUE(replacement.commit());
    EXPECT_EQ(folder.readFile(u"target.txt"), "target");
    EXPECT_EQ(folder.readFile(u"file-link"), "new");
}
