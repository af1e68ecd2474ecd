// The running program's own file on Windows: a running program's file may be
// renamed and another put at its path, so the path alone does not lead to it.
#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxPath.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace Kavo;
namespace fs = std::filesystem;

namespace {

fs::path runningProgram() { return fs::path(std::u16string(modulePath().c_str())); }

std::string firstBytes(KxFile& file, uint32_t count)
{
    std::string bytes(count, '\0');
    return file.readExactlyAt(0, &bytes[0], count) ? bytes : std::string();
}

// Puts a file of other bytes at the running program's path for as long as
// it lives, the running file renamed beside it, and puts both back after.
class SwappedProgram {
public:
    SwappedProgram() : m_path(runningProgram()), m_moved(m_path.wstring() + L".running")
    {
        m_swapped = MoveFileExW(m_path.c_str(), m_moved.c_str(), 0) != FALSE;
        if (m_swapped)
            std::ofstream(m_path, std::ios::binary) << "MZ, but another program";
    }
    ~SwappedProgram()
    {
        if (!m_swapped)
            return;
        DeleteFileW(m_path.c_str());
        MoveFileExW(m_moved.c_str(), m_path.c_str(), 0);
    }
    bool swapped() const { return m_swapped; }
    uint64_t runningLength() const { return fs::file_size(m_moved); }

private:
    fs::path m_path;
    fs::path m_moved;
    bool m_swapped = false;
};

} // namespace

// Held: while it is open the file can be neither written, renamed nor deleted.
TEST(KxRunningImage, OpensTheRunningFileAndHoldsIt)
{
    KxFile image;
    ASSERT_TRUE(image.openRunningImage());
    EXPECT_EQ(firstBytes(image, 2), "MZ");
    EXPECT_EQ(uint64_t(image.length()), fs::file_size(runningProgram()));

    const fs::path path = runningProgram();
    const fs::path moved = path.wstring() + L".moved";
    const HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    const bool renamed = MoveFileExW(path.c_str(), moved.c_str(), 0) != FALSE;
    EXPECT_FALSE(renamed);
    if (renamed)
        MoveFileExW(moved.c_str(), path.c_str(), 0);
}

// Another file put at the running program's path before it is opened is
// never read in its place: the open finds the running file or fails.
TEST(KxRunningImage, NeverReadsAFilePutInThePlaceOfTheRunningOne)
{
    const SwappedProgram swap;
    ASSERT_TRUE(swap.swapped()) << "the running program's file could not be renamed";
    KxFile image;
    if (image.openRunningImage()) {
        EXPECT_EQ(uint64_t(image.length()), swap.runningLength());
        EXPECT_EQ(firstBytes(image, 2), "MZ");
    }
    EXPECT_NE(firstBytes(image, 7), "MZ, but");
}
