#include "KxTestFolder.h"
#include "KxTestPrinting.h"

#include "KxDirectoryLevels.h"
#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxPath.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Kavo;

TEST(KxPath, TakesSamplePathsApart)
{
    struct Case { const char16_t* path; const char16_t* extension; const char16_t* last; const char16_t* folder; };
    for (const Case& c : std::vector<Case>{
             {u"a.ocx", u"ocx", u"a.ocx", u"a.ocx"},
             {u"archive.tar.gz", u"gz", u"archive.tar.gz", u"archive.tar.gz"},
             {u"Setup.OCX", u"OCX", u"Setup.OCX", u"Setup.OCX"},
             {u".profile", u"profile", u".profile", u".profile"},
             {u"name.", u"", u"name.", u"name."},
             {u"diff\\diff_text.html", u"html", u"diff_text.html", u"diff"},
             {u"dir.old\\file", u"old\\file", u"file", u"dir.old"},
             {u"C:\\a\\b.txt", u"txt", u"b.txt", u"C:\\a"},
             {u"C:\\b", u"", u"b", u"C:"},
             {u"\\b", u"", u"b", u"\\"},
             {u"a/b", u"", u"b", u"a"},
             {u"C:\\a\\dir\\", u"", u"dir", u"C:\\a\\dir"},
             {u"dir\\", u"", u"dir", u"dir"},
             {u"\\", u"", u"\\", u"\\"},
             {u"", u"", u"", u""},
             {u"a\\\\", u"", u"", u"a"},
             {u"/x/y/", u"", u"y", u"/x/y"},
             {u"C:\\", u"", u"C:", u"C:"},
         }) {
        const KxString path(c.path);
        KxString folder(path);
        removeLastPathComponent(folder);
        EXPECT_EQ(fileExtension(path), KxString(c.extension)) << testing::PrintToString(path);
        EXPECT_EQ(lastPathComponent(path), KxString(c.last)) << testing::PrintToString(path);
        EXPECT_EQ(folder, KxString(c.folder)) << testing::PrintToString(path);
    }
}

TEST(KxPath, RemovesOneTrailingSeparatorAtATime)
{
    struct Case { const char16_t* path; const char16_t* expected; };
    for (const Case& c : std::vector<Case>{
             {u"a\\", u"a"}, {u"a\\\\", u"a\\"}, {u"a/", u"a"}, {u"\\", u"\\"}, {u"a", u"a"}, {u"", u""}}) {
        KxString path(c.path);
        removeTrailingSeparator(path);
        EXPECT_EQ(path, KxString(c.expected)) << testing::PrintToString(KxString(c.path));
    }
}

TEST(KxPath, FolderCreationSplitsLevelsAtBackslashesOnly)
{
    struct Case { const char16_t* path; std::vector<const char16_t*> levels; };
    for (const Case& c : std::vector<Case>{
             {u"C:\\t\\a\\b\\", {u"C:\\t", u"C:\\t\\a", u"C:\\t\\a\\b"}},
             {u"\\\\server\\share\\x", {u"\\\\server", u"\\\\server\\share", u"\\\\server\\share\\x"}},
             {u"a/b/c", {u"a/b/c"}},
             {u"a\\\\b", {u"a", u"a\\\\b"}},
             {u"/tmp/t/a\\b", {u"/tmp/t/a", u"/tmp/t/a\\b"}},
             {u"", {u""}},
         }) {
        std::vector<KxString> expected(c.levels.begin(), c.levels.end());
        EXPECT_EQ(_kx_directory_levels(c.path), expected) << testing::PrintToString(KxString(c.path));
    }
}

TEST(KxPath, CreatesEveryMissingLevel)
{
    KxTestFolder folder;
    EXPECT_TRUE(createDirectories(folder.text(u"a\\b\\c\\")));
    EXPECT_TRUE(std::filesystem::is_directory(folder.at(u"a/b/c")));
    EXPECT_TRUE(createDirectories(folder.text(u"a\\b\\c")));
    EXPECT_TRUE(createDirectories(folder.text()));
}

TEST(KxPath, FolderCreationFailsWithoutUndoingLevelsItMade)
{
    KxTestFolder folder;
    folder.writeFile(u"file", "x");
    // An existing file passes for a level; the failure shows below it.
    EXPECT_FALSE(createDirectories(folder.text(u"file\\below")));
    const std::u16string tooLong(300, u'n');
    EXPECT_FALSE(createDirectories(folder.text(u"kept\\") + tooLong.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folder.at(u"kept")));
    EXPECT_FALSE(createDirectories(u""));
    // A '/' does not close a level, so a missing first level is not made.
    EXPECT_FALSE(createDirectories(folder.text(u"x/y/z")));
    EXPECT_FALSE(std::filesystem::exists(folder.at(u"x")));
}

TEST(KxPath, ExistenceCountsFilesAndFolders)
{
    KxTestFolder folder;
    folder.writeFile(u"file", "x");
    EXPECT_TRUE(fileExists(folder.text(u"file")));
    EXPECT_TRUE(fileExists(toKxString(folder.path())));
    EXPECT_FALSE(fileExists(folder.text(u"missing")));
    EXPECT_FALSE(fileExists(folder.text(u"file\\below")));
}

TEST(KxPath, ModulePathNamesTheRunningExecutable)
{
    const KxString path = modulePath();
    EXPECT_TRUE(fileExists(path)) << testing::PrintToString(path);
    EXPECT_EQ(lastPathComponent(path).substring(0, 17), KxString(u"KxFoundationTests"));
    KxFile file;
    EXPECT_TRUE(file.open(path, false));
}
