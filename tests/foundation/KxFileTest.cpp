#include "KxTestFolder.h"
#include "KxTestPrinting.h"

#include "KxFoundation/KxFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Kavo;

namespace {

std::string hundredBytes()
{
    std::string bytes;
    for (int value = 0; value < 100; ++value)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

// The byte at the file's current position, or -1 at the end.
int nextByte(KxFile& file)
{
    unsigned char byte = 0;
    return file.read(&byte, 1) == 1 ? byte : -1;
}

} // namespace

TEST(KxFile, ReadsStopAtTheEndOfTheFile)
{
    KxTestFolder folder;
    folder.writeFile(u"data", hundredBytes());
    KxFile file;
    ASSERT_TRUE(file.open(folder.text(u"data"), false));

    std::vector<char> buffer(64);
    EXPECT_EQ(file.read(buffer.data(), 64), 64);
    EXPECT_EQ(buffer[63], 63);
    EXPECT_EQ(file.read(buffer.data(), 64), 36);
    EXPECT_EQ(buffer[35], 99);
    EXPECT_EQ(file.read(buffer.data(), 64), 0);
    ASSERT_TRUE(file.seek(500, KxSeekOrigin::Start));
    EXPECT_EQ(file.read(buffer.data(), 64), 0);
}

// Reads at an offset deliver all that was asked or nothing usable: a range
// that runs past the end is refused, not cut short.
TEST(KxFile, ReadsExactlyAtAnOffset)
{
    KxTestFolder folder;
    folder.writeFile(u"data", hundredBytes());
    KxFile file;
    ASSERT_TRUE(file.open(folder.text(u"data"), false));
    EXPECT_EQ(file.length(), 100);

    struct Case {
        uint64_t offset;
        uint32_t count;
        bool delivered;
    };
    const Case cases[] = {{0, 100, true}, {37, 20, true}, {90, 10, true}, {100, 0, true},
                          {91, 10, false}, {100, 1, false}, {uint64_t(1) << 33, 1, false}};
    for (const Case& c : cases) {
        std::vector<char> buffer(c.count + 1, '\x7f');
        EXPECT_EQ(file.readExactlyAt(c.offset, buffer.data(), c.count), c.delivered) << c.offset << "+" << c.count;
        if (c.delivered) {
            EXPECT_EQ(std::string(buffer.data(), c.count), hundredBytes().substr(size_t(c.offset), c.count))
                << c.offset << "+" << c.count;
        }
    }

    // A read at an offset leaves a later one at another offset unaffected.
    char byte = 0;
    ASSERT_TRUE(file.readExactlyAt(99, &byte, 1));
    ASSERT_TRUE(file.readExactlyAt(3, &byte, 1));
    EXPECT_EQ(byte, 3);
}

TEST(KxFile, SeeksFromEachOriginAndAFailedSeekKeepsThePosition)
{
    KxTestFolder folder;
    folder.writeFile(u"data", hundredBytes());
    KxFile file;
    ASSERT_TRUE(file.open(folder.text(u"data"), false));

    constexpr KxSeekOrigin kStart = KxSeekOrigin::Start, kCurrent = KxSeekOrigin::Current, kEnd = KxSeekOrigin::End;
    struct Case { int64_t offset; KxSeekOrigin origin; bool succeeds; int byteThere; };
    // Each step starts where the one before left the position (one byte
    // past where it seeked, as reading the byte there moves on).
    for (const Case& c : std::vector<Case>{{-16, kEnd, true, 84},
                                           {-200, kEnd, false, 85},
                                           {10, kStart, true, 10},
                                           {5, kCurrent, true, 16},
                                           {-17, kCurrent, true, 0},
                                           {-100, kCurrent, false, 1},
                                           {0, kEnd, true, -1},
                                           {-1, kStart, false, -1}}) {
        EXPECT_EQ(file.seek(c.offset, c.origin), c.succeeds) << c.offset << " from origin " << int(c.origin);
        EXPECT_EQ(nextByte(file), c.byteThere) << c.offset << " from origin " << int(c.origin);
    }
}

TEST(KxFile, OffsetsBeyondFourGibibytesAreHonoured)
{
    KxTestFolder folder;
    constexpr int64_t kFar = (int64_t(1) << 32) + 5;
    {
        KxFile file;
        ASSERT_TRUE(file.create(folder.text(u"sparse")));
        ASSERT_TRUE(file.seek(kFar, KxSeekOrigin::Start));
        ASSERT_EQ(file.write("X", 1), 1);
    }
    EXPECT_EQ(std::filesystem::file_size(folder.at(u"sparse")), uint64_t(kFar + 1));

    KxFile file;
    ASSERT_TRUE(file.open(folder.text(u"sparse"), false));
    ASSERT_TRUE(file.seek(-1, KxSeekOrigin::End));
    EXPECT_EQ(nextByte(file), 'X');
    ASSERT_TRUE(file.seek(kFar - 1, KxSeekOrigin::Start));
    EXPECT_EQ(nextByte(file), 0);
    EXPECT_EQ(nextByte(file), 'X');
}

TEST(KxFile, CreateTruncatesAnExistingFile)
{
    KxTestFolder folder;
    folder.writeFile(u"data", std::string(1000, 'a'));
    KxFile file;
    ASSERT_TRUE(file.create(folder.text(u"data")));
    EXPECT_EQ(std::filesystem::file_size(folder.at(u"data")), 0u);
    EXPECT_EQ(file.write("xyz", 3), 3);
    EXPECT_EQ(file.flush(), 0);
    file.close();
    EXPECT_EQ(folder.readFile(u"data"), "xyz");
}

// Writing back early moves neither the content nor the position: later
// writes continue where the earlier ones ended.
TEST(KxFile, StartingWritebackKeepsTheContentAndThePosition)
{
    KxTestFolder folder;
    KxFile file;
    ASSERT_TRUE(file.create(folder.text(u"data")));
    ASSERT_EQ(file.write("abc", 3), 3);
    EXPECT_EQ(file.startWriteback(), 0);
    ASSERT_EQ(file.write("def", 3), 3);
    EXPECT_EQ(file.startWriteback(), 0);
    EXPECT_EQ(file.flush(), 0);
    ASSERT_TRUE(file.seek(2, KxSeekOrigin::Start));
    EXPECT_EQ(nextByte(file), 'c');
    file.close();
    EXPECT_EQ(folder.readFile(u"data"), "abcdef");
}

TEST(KxFile, OpenNeverCreatesAndAFailedOpenLeavesTheFileClosed)
{
    KxTestFolder folder;
    for (const bool writable : {false, true}) {
        KxFile file;
        EXPECT_FALSE(file.open(folder.text(u"missing"), writable));
        EXPECT_FALSE(file.isOpen());
        EXPECT_FALSE(std::filesystem::exists(folder.at(u"missing")));
    }
}

TEST(KxFile, ReadWriteOpenKeepsTheContentAndWritesInPlace)
{
    KxTestFolder folder;
    folder.writeFile(u"data", "abcdef");
    KxFile file;
    ASSERT_TRUE(file.open(folder.text(u"data"), true));
    ASSERT_TRUE(file.seek(2, KxSeekOrigin::Start));
    EXPECT_EQ(file.write("XY", 2), 2);
    file.close();
    EXPECT_EQ(folder.readFile(u"data"), "abXYef");
}

TEST(KxFile, ReadOnlyOpenRefusesWrites)
{
    KxTestFolder folder;
    folder.writeFile(u"data", "abcdef");
    KxFile file;
    ASSERT_TRUE(file.open(folder.text(u"data"), false));
    EXPECT_EQ(file.write("XY", 2), -1);
    file.close();
    EXPECT_EQ(folder.readFile(u"data"), "abcdef");
}

// Other openers are not denied: the package is read while its file is
// mapped elsewhere.
TEST(KxFile, OpenersShareTheFile)
{
    KxTestFolder folder;
    KxFile writer;
    ASSERT_TRUE(writer.create(folder.text(u"data")));
    ASSERT_EQ(writer.write("shared", 6), 6);
    KxFile reader;
    ASSERT_TRUE(reader.open(folder.text(u"data"), true));
    char buffer[6] = {};
    EXPECT_EQ(reader.read(buffer, 6), 6);
    EXPECT_EQ(std::string(buffer, 6), "shared");
}

TEST(KxFile, AClosedFileRefusesEveryOperation)
{
    KxTestFolder folder;
    folder.writeFile(u"data", "abc");
    KxFile neverOpened;
    KxFile closedTwice;
    ASSERT_TRUE(closedTwice.open(folder.text(u"data"), true));
    closedTwice.close();
    closedTwice.close();
    for (KxFile* file : {&neverOpened, &closedTwice}) {
        char buffer[3] = {};
        EXPECT_FALSE(file->isOpen());
        EXPECT_EQ(file->read(buffer, 3), -1);
        EXPECT_EQ(file->write("xyz", 3), -1);
        EXPECT_FALSE(file->seek(0, KxSeekOrigin::Start));
        EXPECT_EQ(file->flush(), -1);
        EXPECT_EQ(file->startWriteback(), -1);
        EXPECT_FALSE(file->readExactlyAt(0, buffer, 3));
        EXPECT_EQ(file->length(), -1);
    }
    EXPECT_EQ(folder.readFile(u"data"), "abc");
}

TEST(KxFile, PathsBeyondAsciiReachTheSameFile)
{
    KxTestFolder folder;
    const char16_t* const name = u"Gr\u00FC\u00DFe-\u4E2D-\U0001F600.txt";
    KxFile file;
    ASSERT_TRUE(file.create(folder.text(name)));
    ASSERT_EQ(file.write("ok", 2), 2);
    file.close();
    EXPECT_EQ(folder.readFile(name), "ok");
}
