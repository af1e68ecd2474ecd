#include "KxTestPrinting.h"
#include "LauncherTextLine.h"
#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessit;
using Kavo::KxString;

namespace {

using Outcomes = std::vector<EntryOutcome>;

// Opens a package of `entries` and extracts it; the run keeps the results.
ExtractionReport extractEntries(PackageRun& run, std::vector<FixtureEntry> entries,
                                const HeldEntryTest& isHeld = HeldEntryTest())
{
    PackageLayout layout;
    layout.entries = std::move(entries);
    const OpenResult result = run.open(buildPackage(layout));
    EXPECT_EQ(result.outcome, OpenOutcome::Opened);
    run.log = KxString();
    return run.extract(isHeld);
}

std::string patterned(size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (size_t index = 0; index < size; ++index)
        bytes[index] = char(seed + index * 7 + index / 251);
    return bytes;
}

} // namespace

TEST(PackageExtraction, WritesEachEntryAndLogsIt)
{
    PackageRun run;
    const ExtractionReport report =
        extractEntries(run, {{u"QIRA_t.exe", patterned(1000, 'q'), {}, true}, {u"docs\\a.txt", "twenty bytes of text", {}, true}});
    const KxString& temp = run.platform.temporaryFolder;
    EXPECT_EQ(run.log, KxString(u"File01 : ") + temp + u"QIRA_t.exe(1000)\nmake folder: [docs]\nFile02 : " + temp +
                           u"docs\\a.txt(20)\n");
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::Written}));
    EXPECT_FALSE(report.damaged());
    EXPECT_EQ(run.extracted(u"QIRA_t.exe"), patterned(1000, 'q'));
    EXPECT_EQ(run.extracted(u"docs/a.txt"), "twenty bytes of text");
    EXPECT_FALSE(run.package.isOpen());
    EXPECT_EQ(run.platform.debugLines.back(), KxString(kTracePackageClosed));
}

// Sizes around the copy block: each entry still gets exactly its bytes.
TEST(PackageExtraction, CopiesAcrossBlockBoundaries)
{
    PackageRun run;
    const std::vector<size_t> sizes{0, 1, COPY_CHUNK_SIZE - 1, COPY_CHUNK_SIZE, COPY_CHUNK_SIZE + 1, 3 * COPY_CHUNK_SIZE + 17};
    std::vector<FixtureEntry> entries;
    for (size_t index = 0; index < sizes.size(); ++index)
        entries.push_back({u"e" + std::u16string(1, char16_t(u'0' + index)), patterned(sizes[index], char(index)), {}, true});
    const ExtractionReport report = extractEntries(run, entries);
    for (size_t index = 0; index < sizes.size(); ++index) {
        EXPECT_EQ(report.entries[index], EntryOutcome::Written) << sizes[index];
        EXPECT_TRUE(run.extracted(entries[index].name) == entries[index].data) << sizes[index];
    }
}

// Two spellings of one file are one target: the later entry's bytes win,
// even where the earlier one is held.
TEST(PackageExtraction, TheLaterOfTwoSpellingsOfOneFileWins)
{
    PackageRun run;
    const ExtractionReport report = extractEntries(run,
                                                   {{u"docs\\a.txt", "first a", {}, true},
                                                    {u"docs/a.txt", "second a", {}, true},
                                                    {u"b.txt", "first b", {}, true},
                                                    {u".\\b.txt", "second b", {}, true}},
                                                   [](const KxString&) { return true; });
    EXPECT_EQ(report.entries, Outcomes(4, EntryOutcome::Written));
    EXPECT_EQ(run.extracted(u"docs/a.txt"), "second a");
    EXPECT_EQ(run.extracted(u"b.txt"), "second b");
    EXPECT_EQ(report.heldEntries.size(), 2u);
    EXPECT_TRUE(report.wrote(KxString(u"b.txt")));
    EXPECT_TRUE(report.wrote(KxString(u"docs\\a.txt")));
}

TEST(PackageExtraction, OverwritesAndTheLaterOfTwoEqualNamesWins)
{
    PackageRun run;
    run.folder.writeFile(u"temp/kept.txt", std::string(5000, 'o'));
    extractEntries(run, {{u"kept.txt", "new", {}, true}, {u"twice.txt", "first", {}, true}, {u"twice.txt", "second", {}, true}});
    EXPECT_EQ(run.extracted(u"kept.txt"), "new");
    EXPECT_EQ(run.extracted(u"twice.txt"), "second");
}

// A program held since its extraction does not keep a later entry of the
// same name out: the later one is written, held, read back and is the one
// left in the file.
TEST(PackageExtraction, TheLaterOfTwoProgramsOfOneNameWinsAndIsHeld)
{
    const auto isHeld = [](const KxString& name) { return name.equalsIgnoreCase(u"QIRA_t.exe"); };
    PackageRun run;
    const ExtractionReport report = extractEntries(
        run, {{u"QIRA_t.exe", "first main tool", {}, true}, {u"QIRA_t.exe", "second main tool", {}, true}}, isHeld);
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::Written}));
    EXPECT_FALSE(report.damaged());
    EXPECT_EQ(run.extracted(u"QIRA_t.exe"), "second main tool");
    ASSERT_EQ(report.heldEntries.size(), 1u);
    char held[32] = {};
    ASSERT_TRUE(report.heldEntries[0]->seek(0, Kavo::KxSeekOrigin::Start));
    EXPECT_EQ(report.heldEntries[0]->read(held, sizeof held), 16);
    EXPECT_EQ(std::string(held), "second main tool");
}

// Once the earlier program is no longer held, something else may take its
// place before the later one is written; a later one that then cannot be
// written leaves a file nobody checked, which must not be started.
TEST(PackageExtraction, AProgramLeftUncheckedByALaterEntryIsDamaged)
{
    PackageRun run;
    bool swapped = false;
    // Once the entries took the name, before either is held.
    const auto isProgramAndSwapped = [&](const KxString& name) {
        if (!swapped && std::filesystem::is_regular_file(run.folder.at(u"temp/QIRA_t.exe"))) {
            swapped = true;
            std::filesystem::remove(run.folder.at(u"temp/QIRA_t.exe"));
            std::filesystem::create_directory(run.folder.at(u"temp/QIRA_t.exe"));
            run.folder.writeFile(u"temp/QIRA_t.exe/planted", "planted");
        }
        return name.equalsIgnoreCase(u"QIRA_t.exe");
    };
    const ExtractionReport report = extractEntries(
        run, {{u"QIRA_t.exe", "first main tool", {}, true}, {u"QIRA_t.exe", "second main tool", {}, true}},
        isProgramAndSwapped);
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::Damaged}));
    EXPECT_EQ(report.firstDamagedTarget, run.platform.temporaryFolder + u"QIRA_t.exe");
    EXPECT_TRUE(report.heldEntries.empty());
}

// Only the whole name counts as the launcher's own, in any letter case.
TEST(PackageExtraction, SkipsTheLauncherItself)
{
    PackageRun run;
    const ExtractionReport report = extractEntries(
        run, {{u"tessit.EXE", "self", {}, true}, {u"tools\\Tessit.exe", "tool", {}, true}, {u"z.txt", "z", {}, true}});
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::SkippedLauncher, EntryOutcome::Written, EntryOutcome::Written}));
    EXPECT_FALSE(std::filesystem::exists(run.folder.at(u"temp/tessit.EXE")));
    EXPECT_EQ(run.extracted(u"tools/Tessit.exe"), "tool");
    EXPECT_EQ(run.extracted(u"z.txt"), "z");
    EXPECT_EQ(run.log.indexOfIgnoreCase(u"File01"), -1);
}

TEST(PackageExtraction, MakesFoldersOnlyWhereMissing)
{
    PackageRun run;
    std::filesystem::create_directory(run.folder.at(u"temp/have"));
    const ExtractionReport report = extractEntries(run, {{u"have\\x.txt", "x", {}, true},
                                                         {u"a\\b\\c.txt", "c", {}, true},
                                                         {u"s/c.txt", "s", {}, true}});
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::Written, EntryOutcome::Written}));
    EXPECT_EQ(run.log.indexOfIgnoreCase(launcherText(kLogMakeFolder, u"have")), -1);
    EXPECT_NE(run.log.indexOfIgnoreCase(launcherText(kLogMakeFolder, u"a\\b")), -1);
    EXPECT_NE(run.log.indexOfIgnoreCase(launcherText(kLogMakeFolder, u"s")), -1);
    EXPECT_EQ(run.extracted(u"a/b/c.txt"), "c");
    EXPECT_EQ(run.extracted(u"s/c.txt"), "s");
}

// A file standing where an entry's folder should be is no folder to make:
// no line says one is made, and the entry is not written.
TEST(PackageExtraction, AFileInPlaceOfTheFolderIsNotAFolderToMake)
{
    PackageRun run;
    run.folder.writeFile(u"temp/blocked", "a file");
    const ExtractionReport report =
        extractEntries(run, {{u"blocked\\x.txt", "x", {}, true}, {u"after.txt", "after", {}, true}});
    const KxString& temp = run.platform.temporaryFolder;
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::NotCreated, EntryOutcome::Written}));
    EXPECT_EQ(run.log, KxString(u"File01 : ") + temp + u"blocked\\x.txt(1)\nFile02 : " + temp + u"after.txt(5)\n");
    EXPECT_EQ(run.folder.readFile(u"temp/blocked"), "a file");
    EXPECT_EQ(run.extracted(u"after.txt"), "after");
}

// A target that cannot be created has its bytes passed over: every later
// entry still receives exactly its own.
TEST(PackageExtraction, GoesOnPastTargetsThatCannotBeCreated)
{
    PackageRun run;
    std::filesystem::create_directories(run.folder.at(u"temp/busy.txt/inside"));
    const ExtractionReport report = extractEntries(run, {{u"busy.txt", "blocked", {}, true},
                                                         {u"a/b/c.txt", "two slash levels", {}, true},
                                                         {u"last.txt", "last", {}, true}});
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::NotCreated, EntryOutcome::NotCreated, EntryOutcome::Written}));
    EXPECT_EQ(run.extracted(u"last.txt"), "last");
    EXPECT_FALSE(std::filesystem::exists(run.folder.at(u"temp/a")));
    EXPECT_FALSE(report.damaged());
}

// Names that would climb out of the target folder, or name no file but a
// folder (the target folder itself, or one below it), are passed over: the
// run writes nothing outside the folder, and clears no part a killed run
// left in the folder above it.
TEST(PackageExtraction, NeverWritesOutsideTheTargetFolder)
{
    for (const char16_t* name : {u"..\\up.txt", u"../up.txt", u"a\\..\\..\\up.txt", u"a/../../up.txt",
                                 u"...\\up.txt", u".. \\up.txt", u"a\\..", u"", u"\\", u"/", u".", u".\\",
                                 u"docs\\", u"docs/", u"docs\\."}) {
        PackageRun run;
        run.folder.writeFile(u"beside.tessit-0123abcd", "the user's");
        const ExtractionReport report =
            extractEntries(run, {{name, "escaped", {}, true}, {u"inside.txt", "inside", {}, true}});
        EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::SkippedUnsafe, EntryOutcome::Written}))
            << testing::PrintToString(KxString(name));
        EXPECT_EQ(run.log.indexOfIgnoreCase(launcherText(kLogUnsafeName, name)), 0);
        EXPECT_EQ(run.writtenFiles(), (std::vector<std::filesystem::path>{"beside.tessit-0123abcd", "temp",
                                                                           std::filesystem::path("temp") / "inside.txt"}))
            << testing::PrintToString(KxString(name));
        EXPECT_EQ(run.extracted(u"inside.txt"), "inside");
    }
}

// Names are joined to the folder unchanged: a leading separator doubles the
// folder's own and the entry lands inside it.
TEST(PackageExtraction, WritesNamesWithALeadingSeparatorInsideTheFolder)
{
    struct Case {
        const char16_t* name;
        const char16_t* written; // below the folder
    };
    const std::vector<Case> cases{
        {u"\\lead.txt", u"lead.txt"},
        {u"/lead.txt", u"lead.txt"},
        {u"\\\\two.txt", u"two.txt"},
        {u"\\docs\\in.txt", u"docs/in.txt"},
    };
    for (const Case& c : cases) {
        PackageRun run;
        const ExtractionReport report = extractEntries(run, {{c.name, "entry", {}, true}, {u"inside.txt", "inside", {}, true}});
        EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::Written}))
            << testing::PrintToString(KxString(c.name));
        EXPECT_EQ(run.extracted(c.written), "entry") << testing::PrintToString(KxString(c.name));
        const KxString target = run.platform.temporaryFolder + c.name;
        KxString line;
        line.format(kLogEntry, 1, &target, 5);
        EXPECT_NE(run.log.indexOfIgnoreCase(line), -1) << testing::PrintToString(run.log);
        EXPECT_EQ(run.extracted(u"inside.txt"), "inside");
    }
}

// Names no user could type or see as they are: levels of spaces, or of a dot
// and spaces, lone surrogates and control characters. They are skipped, and
// the log shows them escaped, so no log line is forged and nothing reaches
// the terminal raw.
TEST(PackageExtraction, SkipsNamesThatCannotBeShownOrSpelled)
{
    struct Case {
        std::u16string name;
        const char16_t* shown;
    };
    const std::vector<Case> cases = {
        {u"   ", u"   "},
        {u". \\x.txt", u". \\x.txt"},
        {u" \\h.txt", u" \\h.txt"},
        {u"a\\   \\b.txt", u"a\\   \\b.txt"},
        {u"forged\nFile02 : x(1).txt", u"forged\\x0AFile02 : x(1).txt"},
        {u"\x1B[2Jescape.txt", u"\\x1B[2Jescape.txt"},
        {u"c1\u009B.txt", u"c1\\x9B.txt"},
        {u"del\x7F.txt", u"del\\x7F.txt"},
        {std::u16string(u"high") + char16_t(0xD800) + u".txt", u"high\\uD800.txt"},
        {std::u16string(u"low") + char16_t(0xDC00) + u".txt", u"low\\uDC00.txt"},
        {std::u16string(1, char16_t(0xDBFF)), u"\\uDBFF"},
    };
    for (const Case& c : cases) {
        PackageRun run;
        const KxString name(c.name.c_str());
        const ExtractionReport report = extractEntries(run, {{c.name, "hidden", {}, true}, {u"inside.txt", "inside", {}, true}});
        EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::SkippedUnsafe, EntryOutcome::Written}))
            << testing::PrintToString(KxString(c.shown));
        EXPECT_EQ(run.log.indexOfIgnoreCase(launcherText(kLogUnsafeName, c.shown)), 0)
            << testing::PrintToString(run.log);
        EXPECT_EQ(run.writtenFiles(), (std::vector<std::filesystem::path>{"temp", std::filesystem::path("temp") / "inside.txt"}));
    }
    EXPECT_FALSE(isUnsafeEntryName(u"pair\U0001F600.txt"));
    EXPECT_EQ(printableEntryName(u"pair\U0001F600.txt"), KxString(u"pair\U0001F600.txt"));
}

TEST(PackageExtraction, SafeNamesAreNotMistakenForUnsafeOnes)
{
    for (const char16_t* name : {u"a.txt", u"docs\\a.txt", u"a/b.txt", u"..a", u"a..", u"a..b\\c", u".profile",
                                 u"dir.\\x", u"a\\.\\b", u"a b\\c d.txt", u" lead.txt", u"trail .txt"})
        EXPECT_FALSE(isUnsafeEntryName(name)) << testing::PrintToString(KxString(name));
}

// A package that comes up short while it is copied (its file cut after it
// was opened) marks the entry damaged; the report names it so that nothing
// of it is run.
TEST(PackageExtraction, MarksEntriesCutShortAsDamaged)
{
    PackageRun run;
    PackageLayout layout;
    layout.entries = {{u"a", "complete", {}, true}, {u"b", "abc" + std::string(17, 'b'), {}, true}, {u"c", "ccccc", {}, true}};
    PackageRegions regions;
    ASSERT_EQ(run.open(buildPackage(layout, &regions)).outcome, OpenOutcome::Opened);
    std::filesystem::resize_file(run.folder.at(u"Tessit-packed.exe"), regions.data + 8 + 3);
    const ExtractionReport report = run.extract();
    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::Damaged, EntryOutcome::Damaged}));
    EXPECT_EQ(report.firstDamagedTarget, run.platform.temporaryFolder + u"b");
    EXPECT_NE(run.log.indexOfIgnoreCase(launcherText(kLogDamaged, run.platform.temporaryFolder + u"c")), -1);
    EXPECT_EQ(run.extracted(u"a"), "complete");
    EXPECT_EQ(run.writtenFiles(), (std::vector<std::filesystem::path>{"temp", std::filesystem::path("temp") / "a"}))
        << "a damaged entry leaves nothing half-written";
}

// Nothing is written through a link: one in place of a target is replaced
// by the entry, one in place of a folder level is a level that cannot be
// made, and nothing of either reaches what they lead to.
TEST(PackageExtraction, NeverWritesThroughALink)
{
    namespace fs = std::filesystem;
    PackageRun run;
    fs::create_directories(run.folder.at(u"outside/dir"));
    run.folder.writeFile(u"outside/victim.txt", "victim");
    try {
        fs::create_symlink(run.folder.at(u"outside/victim.txt"), run.folder.at(u"temp/target.txt"));
        fs::create_directory_symlink(run.folder.at(u"outside/dir"), run.folder.at(u"temp/level"));
    } catch (const fs::filesystem_error& refused) {
        GTEST_SKIP() << "links cannot be made here: " << refused.what();
    }

    const ExtractionReport report = extractEntries(
        run, {{u"target.txt", "entry", {}, true}, {u"level\\x.txt", "x", {}, true}, {u"after.txt", "after", {}, true}});

    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::NotCreated, EntryOutcome::Written}));
    EXPECT_EQ(run.folder.readFile(u"outside/victim.txt"), "victim");
    EXPECT_TRUE(fs::is_empty(run.folder.at(u"outside/dir")));
    EXPECT_FALSE(fs::is_symlink(run.folder.at(u"temp/target.txt")));
    EXPECT_EQ(run.extracted(u"target.txt"), "entry");
    EXPECT_EQ(run.extracted(u"after.txt"), "after");
}

// The programs are held from the end of their extraction, each read back
// whole; the other entries are closed at once.
TEST(PackageExtraction, HoldsTheProgramsItWrites)
{
    PackageRun run;
    const ExtractionReport report =
        extractEntries(run, {{u"tool.exe", patterned(COPY_CHUNK_SIZE + 10, 't'), {}, true}, {u"readme.txt", "r", {}, true},
                             {u"lib\\grid.ocx", patterned(3000, 'g'), {}, true}},
                       [](const KxString& name) { return name.indexOfIgnoreCase(u".txt") == -1; });

    EXPECT_EQ(report.entries, (Outcomes{EntryOutcome::Written, EntryOutcome::Written, EntryOutcome::Written}));
    ASSERT_EQ(report.heldEntries.size(), 2u);
    for (const auto& held : report.heldEntries) {
        EXPECT_TRUE(held->isOpen());
        EXPECT_TRUE(held->seek(0, Kavo::KxSeekOrigin::Start));
        EXPECT_EQ(held->write("x", 1), -1) << "held for reading only";
    }
    EXPECT_EQ(run.extracted(u"lib/grid.ocx"), patterned(3000, 'g'));
}
