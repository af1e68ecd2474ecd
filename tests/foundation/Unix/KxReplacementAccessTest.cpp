// What a replacement does with the Linux file system's links, owners and
// modes.
#include "KxTestFolder.h"
#include "KxTestPrinting.h"

#include "KxFoundation/KxReplacement.h"
#include "KxFoundation/Unix/KxNativePath.h"
#include "KxReplacementSystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

using namespace Kavo;

namespace {

namespace fs = std::filesystem;

const KxString kKind(u".kind-");

mode_t modeOf(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_previous(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

} // namespace

// A link at the part's name is never written through, and a link at the
// target is replaced, not followed.
TEST(KxReplacementAccess, NothingIsWrittenThroughAPlantedLink)
{
    KxTestFolder folder;
    KxFolder opened;
    ASSERT_TRUE(opened.open(folder.text()));
    folder.writeFile(u"victim", "victim");
    fs::create_symlink(folder.at(u"victim"), folder.at(u"part"));
    EXPECT_EQ(_kx_replacement_create(opened.handle(), KxString(u"part"), KxString(u"target"), KxReplacementAccess::UserOnly),
              -1);
    fs::create_symlink(folder.at(u"missing"), folder.at(u"dangling"));
    EXPECT_EQ(
        _kx_replacement_create(opened.handle(), KxString(u"dangling"), KxString(u"target"), KxReplacementAccess::UserOnly),
        -1);
    EXPECT_FALSE(fs::exists(folder.at(u"missing")));

    fs::create_symlink(folder.at(u"victim"), folder.at(u"target"));
    KxReplacement replacement(folder.text(u"target"), kKind, KxReplacementAccess::KeepTarget);
    ASSERT_TRUE(replacement.create());
    ASSERT_EQ(replacement.file().write("new", 3), 3);
    ASSERT_TRUE(replacement.finish());
    ASSERT_TRUE(replacement.commit());
    EXPECT_FALSE(fs::is_symlink(folder.at(u"target")));
    EXPECT_EQ(folder.readFile(u"target"), "new");
    EXPECT_EQ(folder.readFile(u"victim"), "victim");
    EXPECT_EQ(modeOf(folder.at(u"target")), mode_t(0600)) << "a link's target's mode is not the target's";
}

TEST(KxReplacementAccess, EachAccessGivesItsMode)
{
    struct Case {
        KxReplacementAccess access;
        mode_t umask;
        mode_t targetMode; // 0: no target
        mode_t expected;
    };
    const Case cases[] = {
        {KxReplacementAccess::UserOnly, 022, 0644, 0600},      {KxReplacementAccess::UserOnly, 0777, 0, 0600},
        {KxReplacementAccess::UserRunnable, 022, 0, 0700},     {KxReplacementAccess::UserRunnable, 0777, 0644, 0700},
        {KxReplacementAccess::Runnable, 022, 0, 0755},         {KxReplacementAccess::Runnable, 027, 0600, 0750},
        {KxReplacementAccess::Runnable, 077, 0, 0700},         {KxReplacementAccess::KeepTarget, 077, 0644, 0644},
        {KxReplacementAccess::KeepTarget, 022, 0640, 0640},    {KxReplacementAccess::KeepTarget, 0, 0, 0600},
        {KxReplacementAccess::KeepTarget, 022, 0755, 0755},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.access) << " umask " << std::oct << c.umask << " target "
                                        << c.targetMode);
        KxTestFolder folder;
        if (c.targetMode) {
            folder.writeFile(u"target", "old");
            fs::permissions(folder.at(u"target"), fs::perms(c.targetMode));
        }
        const UmaskScope mask(c.umask);
        KxReplacement replacement(folder.text(u"target"), kKind, c.access);
        ASSERT_TRUE(replacement.create());
        EXPECT_EQ(modeOf(nativePath(replacement.partPath())), c.expected);
        ASSERT_TRUE(replacement.finish());
        ASSERT_TRUE(replacement.commit());
        EXPECT_EQ(modeOf(folder.at(u"target")), c.expected);
    }
}

// Another user's file, a link and a folder named like a leftover stay; a
// link to a leftover, or to a folder, does not lead the sweep elsewhere.
TEST(KxReplacementAccess, OnlyTheUsersOwnRegularFilesAreLeftovers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    KxTestFolder folder;
    KxTestFolder elsewhere;
    folder.writeFile(u"own.kind-00000001", "x");
    folder.writeFile(u"theirs.kind-00000002", "x");
    ASSERT_EQ(::chown(folder.at(u"theirs.kind-00000002").c_str(), 65534, 65534), 0);
    elsewhere.writeFile(u"far.kind-00000003", "x");
    fs::create_symlink(elsewhere.at(u"far.kind-00000003"), folder.at(u"link.kind-00000004"));
    fs::create_directory(folder.at(u"folder.kind-00000005"));
    fs::create_symlink(elsewhere.path(), folder.at(u"linked"));

    KxFolder opened;
    ASSERT_TRUE(opened.open(folder.text()));
    removeReplacementLeftovers(opened, kKind);
    KxFolder linked;
    EXPECT_FALSE(linked.openLevel(opened, KxString(u"linked")));
    removeReplacementLeftovers(linked, kKind);
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::u16string>{u"theirs.kind-00000002", u"link.kind-00000004",
                                                                u"folder.kind-00000005", u"linked"}));
    EXPECT_EQ(namesIn(elsewhere.path()), (std::set<std::u16string>{u"far.kind-00000003"}));
}
