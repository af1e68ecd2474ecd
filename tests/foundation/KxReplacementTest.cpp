#include "KxTestFolder.h"
#include "KxTestPrinting.h"
#include "KxTestSystem.h"

#include "KxFoundation/KxReplacement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

using namespace Kavo;

namespace {

namespace fs = std::filesystem;

const KxString kKind(u".kind-");

bool writeText(KxReplacement& replacement, const std::string& text)
{
    return replacement.file().write(text.data(), uint32_t(text.size())) == int32_t(text.size());
}

} // namespace

TEST(KxReplacement, TheTargetChangesOnlyAtTheCommitAndNothingIsLeftBeside)
{
    KxTestFolder folder;
    folder.writeFile(u"target", "old");
    KxReplacement replacement(folder.text(u"target"), kKind, KxReplacementAccess::UserOnly);
    ASSERT_TRUE(replacement.create());
    const KxString expectedStart = folder.text(u"target") + kKind;
    EXPECT_EQ(replacement.partPath().substring(0, expectedStart.length()), expectedStart);
    EXPECT_EQ(replacement.partPath().length(), expectedStart.length() + 8);
    ASSERT_TRUE(writeText(replacement, "new"));
    ASSERT_TRUE(replacement.finish());
    EXPECT_EQ(folder.readFile(u"target"), "old");
    ASSERT_TRUE(replacement.commit());
    EXPECT_EQ(folder.readFile(u"target"), "new");
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::u16string>{u"target"}));
}

// However the replacement ends without its commit, the target stays and the
// part goes.
TEST(KxReplacement, AnEndWithoutACommitLeavesTheTargetAndNothingElse)
{
    enum class Ending { Dropped, DroppedAfterFinish, Discarded, CommitRefused };
    for (const Ending ending : {Ending::Dropped, Ending::DroppedAfterFinish, Ending::Discarded, Ending::CommitRefused}) {
        SCOPED_TRACE(int(ending));
        KxTestFolder folder;
        const std::u16string target = ending == Ending::CommitRefused ? u"folder" : u"target";
        if (ending == Ending::CommitRefused)
            fs::create_directory(folder.at(target));
        else
            folder.writeFile(target, "old");
        {
            KxReplacement replacement(folder.text(target.c_str()), kKind, KxReplacementAccess::UserOnly);
            ASSERT_TRUE(replacement.create());
            ASSERT_TRUE(writeText(replacement, "new"));
            if (ending != Ending::Dropped) {
                ASSERT_TRUE(replacement.finish());
            }
            if (ending == Ending::Discarded)
                replacement.discard();
            if (ending == Ending::CommitRefused) {
                EXPECT_FALSE(replacement.commit());
            }
        }
        EXPECT_EQ(namesIn(folder.path()), (std::set<std::u16string>{target}));
        if (ending != Ending::CommitRefused) {
            EXPECT_EQ(folder.readFile(target), "old");
        }
    }
}

// A replacement made through a folder held open lands in that folder, even
// once its path names another: a level renamed away and replaced (by a link
// or another folder) between the check and the write leads nothing astray.
// Wine 8 keeps files by their paths rather than their handles: it refuses
// the rename (and the part's removal) in a folder renamed meanwhile, which
// still leads nothing into the folder put in its place.
TEST(KxReplacement, LandsInTheFolderItWasGivenWhateverItsPathNamesLater)
{
    KxTestFolder folder;
    fs::create_directory(folder.at(u"level"));
    KxFolder root;
    ASSERT_TRUE(root.open(folder.text()));
    KxFolder level;
    ASSERT_TRUE(level.openLevel(root, KxString(u"level")));
    fs::rename(folder.at(u"level"), folder.at(u"moved"));
    fs::create_directory(folder.at(u"level"));

    KxReplacement replacement(level, KxString(u"target"), kKind, KxReplacementAccess::UserOnly);
    ASSERT_TRUE(replacement.create());
    EXPECT_EQ(namesIn(folder.at(u"moved")).size(), 1u) << "the part is made in the folder held";
    ASSERT_TRUE(writeText(replacement, "new"));
    ASSERT_TRUE(replacement.finish());
    const bool committed = replacement.commit();
    EXPECT_EQ(namesIn(folder.at(u"level")), std::set<std::u16string>());
    EXPECT_TRUE(committed || runsUnderWine());
    if (!committed)
        return;
    EXPECT_EQ(folder.readFile(u"moved/target"), "new");
    KxFile held;
    ASSERT_TRUE(held.openHeldIn(level, KxString(u"target")));
    char bytes[4] = {};
    EXPECT_EQ(held.read(bytes, sizeof bytes), 3);
}

TEST(KxReplacement, NoPartIsMadeInAFolderThatIsMissing)
{
    KxTestFolder folder;
    KxReplacement replacement(folder.text(u"missing\\target"), kKind, KxReplacementAccess::UserOnly);
    EXPECT_FALSE(replacement.create());
    EXPECT_EQ(replacement.partPath(), KxString());
    EXPECT_FALSE(replacement.commit());
    EXPECT_EQ(namesIn(folder.path()), std::set<std::u16string>());
}

// Only names made like a part (a name, the kind, eight lower-case hex
// digits) are leftovers; with a target given, only that target's.
TEST(KxReplacement, LeftoversAreTheNamesOfParts)
{
    const std::set<std::u16string> parts{u"a.kind-0123abcd", u"b.exe.kind-ffffffff", u"a.kind-.kind-00000000"};
    const std::set<std::u16string> others{u"a.kind-0123abc",  u"upper.kind-0123ABCD", u".kind-01234567",
                                          u"a.kind-0123abcde", u"a.other-0123abcd", u"a.kind-0123abcd.tmp",
                                          u"a.kind-0123abcg",  u"a"};
    KxTestFolder folder;
    for (const std::set<std::u16string>* names : {&parts, &others})
        for (const std::u16string& name : *names)
            folder.writeFile(name, "x");
    removeReplacementLeftoversOf(folder.text(u"b.exe"), kKind);
    std::set<std::u16string> left(parts);
    left.erase(u"b.exe.kind-ffffffff");
    left.insert(others.begin(), others.end());
    EXPECT_EQ(namesIn(folder.path()), left);

    KxFolder opened;
    ASSERT_TRUE(opened.open(folder.text()));
    removeReplacementLeftovers(opened, kKind);
    EXPECT_EQ(namesIn(folder.path()), others);
}
