#include "KxTestFolder.h"
#include "KxTestPrinting.h"

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Kavo;

TEST(KxNativePath, BackslashesSeparateLevelsAndTextIsUtf8)
{
    EXPECT_EQ(nativePath(u"/tmp/t\\docs\\a.txt"), "/tmp/t/docs/a.txt");
    EXPECT_EQ(nativePath(u"\u00FC\U0001F600"), "\xC3\xBC\xF0\x9F\x98\x80");
    EXPECT_EQ(pathFromNative("\xC3\xBC\xF0\x9F\x98\x80"), KxString(u"\u00FC\U0001F600"));
    EXPECT_EQ(pathFromNative("\xFF"), KxString());
}

// A folder the system names with a '\' stays that folder when a packaged
// name is joined to it: only the name's '\' separate levels.
TEST(KxNativePath, TheSystemsOwnBackslashesAreKept)
{
    const KxString folder = pathFromNative("/tmp/a\\b/");
    EXPECT_EQ(lastPathComponent(folder), KxString(u"a\uF05Cb"));
    EXPECT_EQ(nativePath(folder + u"docs\\x.txt"), "/tmp/a\\b/docs/x.txt");
    EXPECT_EQ(utf8Text(folder), "/tmp/a\\b/");
}

// Packaged programs are started after extraction, so their owner may run them.
TEST(KxNativePath, CreatedFilesAreRunnableByTheirOwner)
{
    KxTestFolder folder;
    KxFile file;
    ASSERT_TRUE(file.create(folder.text(u"tool")));
    struct stat status;
    ASSERT_EQ(::stat(folder.at(u"tool").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & S_IRWXU, mode_t(S_IRWXU));
}
