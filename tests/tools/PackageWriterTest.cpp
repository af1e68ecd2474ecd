#include "CrossBuiltPrograms.h"
#include "KxTestPrinting.h"
#include "PackageTestSupport.h"

#include "EntrySources.h"
#include "PackageCommands.h"
#include "PackageWriter.h"
#include "PackError.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace Tessit;
using Kavo::KxString;
namespace fs = std::filesystem;

namespace {

class PackageWriterTest : public testing::Test {
protected:
    fs::path file(const char* name, const std::string& bytes)
    {
        folder.writeFile(fs::u8path(name).u16string(), bytes);
        return folder.path() / name;
    }

    // What `tessit-pack build` does with OEM number 42.
    void build(const fs::path& launcher, const std::vector<std::string>& items, const fs::path& output,
               bool replace = false)
    {
        const std::vector<PackEntry> entries = collectEntries(items);
        checkEntries(entries);
        writePackage(prepareLauncher(launcher, false, replace), 42, entries, output);
    }

    std::string item(const char* name, const fs::path& source) { return std::string(name) + "=" + source.u8string(); }

    Kavo::KxTestFolder folder;
};

std::vector<fs::path> crossBuiltLaunchers()
{
    return {crossBuiltProgram(u"tiny-pe32.exe"), crossBuiltProgram(u"tiny-pe32plus.exe")};
}

} // namespace

// However the last packed file ends, the launcher finds the package that was
// written and extracts the file whole.
TEST_F(PackageWriterTest, TheLauncherFindsExactlyWhatWasPacked)
{
    const std::string mainTool = "main tool";
    PackageLayout inner;
    inner.entries = {{u"QIRA_t.exe", "inner main tool", {}, true}};
    if (!crossBuiltProgramsBuilt)
        GTEST_SKIP() << crossBuiltProgramsSkipped;
    for (const fs::path& launcher : crossBuiltLaunchers()) {
        const size_t lastEntryAt = size_t(fs::file_size(launcher) + 8 + 2 * 132 + mainTool.size());
        const std::vector<std::pair<const char*, std::string>> lastFiles{
            {"plain data", "plain data"},
            {"a package of its own at its end", "cover " + hiddenPackage(lastEntryAt)},
            {"a packed launcher", buildPackage(inner)},
        };
        for (const auto& [label, bytes] : lastFiles) {
            const std::string where = launcher.filename().string() + ", " + label;
            const fs::path output = folder.path() / "Tessit-packed.exe";
            build(launcher, {item("QIRA_t.exe", file("main", mainTool)), item("last.bin", file("last", bytes))},
                  output);

            PackageRun run;
            ASSERT_EQ(run.open(fileBytes(output)).outcome, OpenOutcome::Opened) << where;
            ASSERT_EQ(run.header().count, 2) << where;
            EXPECT_EQ(run.header().oemId, 42) << where;
            EXPECT_EQ(run.header().name(1), KxString(u"last.bin")) << where;
            run.extract();
            EXPECT_EQ(run.extracted(u"QIRA_t.exe"), mainTool) << where;
            EXPECT_EQ(run.extracted(u"last.bin"), bytes) << where;
        }
    }
}

// --replace cuts the launcher at the package the launcher itself finds, even
// when the package's last file is a packed launcher.
TEST_F(PackageWriterTest, ReplacingAPackageGivesWhatPackingTheBareLauncherGives)
{
    PackageLayout inner;
    inner.entries = {{u"QIRA_t.exe", "inner main tool", {}, true}};
    const fs::path mainTool = file("main", "main tool");
    const fs::path innerLauncher = file("inner", buildPackage(inner));
    const fs::path notes = file("notes", "notes");
    if (!crossBuiltProgramsBuilt)
        GTEST_SKIP() << crossBuiltProgramsSkipped;
    for (const fs::path& launcher : crossBuiltLaunchers()) {
        const fs::path packed = folder.path() / "packed.exe";
        const fs::path replaced = folder.path() / "replaced.exe";
        const fs::path direct = folder.path() / "direct.exe";
        build(launcher, {item("QIRA_t.exe", mainTool), item("Inner.exe", innerLauncher)}, packed);
        build(packed, {item("QIRA_t.exe", mainTool), item("notes.txt", notes)}, replaced, true);
        build(launcher, {item("QIRA_t.exe", mainTool), item("notes.txt", notes)}, direct);
        EXPECT_EQ(fileBytes(replaced), fileBytes(direct)) << launcher;
    }
}

// The check a build ends with: the file the launcher would read must hold
// the header that was written, where it was written.
TEST_F(PackageWriterTest, RefusesAFileThatDoesNotReadBackAsWritten)
{
    PackageLayout layout;
    layout.entries = {{u"QIRA_t.exe", "main tool", {}, true}, {u"docs\\a.txt", "xy", {}, true}};
    PackageRegions regions;
    const fs::path packed = file("packed.exe", buildPackage(layout, &regions));
    PackageHeader written;
    written.oemId = layout.oemId;
    written.count = 2;
    for (const FixtureEntry& entry : layout.entries) {
        written.sizes.push_back(int32_t(entry.data.size()));
        NameSlot slot{};
        std::copy(entry.name.begin(), entry.name.end(), slot.begin());
        written.names.push_back(slot);
    }
    EXPECT_NO_THROW(confirmReadsBack(packed, uint32_t(regions.header), written));

    struct Case {
        const char* label;
        std::function<void(PackageHeader&, uint32_t&)> change;
    };
    const std::vector<Case> cases{
        {"another OEM number", [](PackageHeader& header, uint32_t&) { header.oemId = 8; }},
        {"another size", [](PackageHeader& header, uint32_t&) { header.sizes[1] = 3; }},
        {"another name", [](PackageHeader& header, uint32_t&) { header.names[1][0] = u'D'; }},
        {"one entry less",
         [](PackageHeader& header, uint32_t&) {
             header.count = 1;
             header.sizes.pop_back();
             header.names.pop_back();
         }},
        {"another header offset", [](PackageHeader&, uint32_t& offset) { offset += 4; }},
    };
    for (const Case& c : cases) {
        PackageHeader expected = written;
        uint32_t offset = uint32_t(regions.header);
        c.change(expected, offset);
        EXPECT_THROW(confirmReadsBack(packed, offset, expected), PackError) << c.label;
    }
    EXPECT_THROW(confirmReadsBack(file("bare.exe", layout.image), uint32_t(regions.header), written), PackError);
}

TEST(PackageCommands, ReportsWhatTheLauncherDoesNotLookFor)
{
    PackageLocation location;
    location.fileLength = 5000;
    location.footerCandidates = 1;
    EXPECT_EQ(layoutProblems(location), std::vector<std::string>{});
    location.certificateOffset = 4000;
    location.certificateSize = 1000;
    EXPECT_EQ(layoutProblems(location), std::vector<std::string>{});

    location.certificateSize = 992;
    location.footerCandidates = 2;
    EXPECT_EQ(layoutProblems(location),
              (std::vector<std::string>{
                  "its certificate table (offset 4000, size 992) does not end the file (5000 bytes)",
                  "ambiguous footer: 2 places before the certificate table hold one"}));
}

// Names that carry control characters or lone surrogates are shown escaped
// by `list`, so that they neither forge an output line nor reach the
// terminal raw, and `verify` reports them.
TEST(PackageCommands, ShowsNamesThatCannotBeWrittenEscapedAndVerifyReportsThem)
{
    Kavo::KxTestFolder folder;
    PackageLayout layout;
    layout.entries = {{u"QIRA_t.exe", "main", {}, true},
                      {u"line\nfeed.txt", "x", {}, true},
                      {u"\x1B[2J.txt", "y", {}, true},
                      {u". \\x.txt", "z", {}, true}};
    folder.writeFile(u"crafted.exe", buildPackage(layout));
    const fs::path crafted = folder.path() / "crafted.exe";

    testing::internal::CaptureStdout();
    EXPECT_EQ(listPackage(crafted), 0);
    const std::string listed = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(verifyPackage(crafted), 1);
    const std::string verified = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();

    EXPECT_NE(listed.find("line\\x0Afeed.txt  (unsafe name: never written)\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("\\x1B[2J.txt  (unsafe name: never written)\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find(". \\x.txt  (unsafe name: never written)\n"), std::string::npos) << listed;
    for (const std::string& output : {listed, verified}) {
        EXPECT_EQ(output.find('\x1B'), std::string::npos) << output;
        EXPECT_EQ(output.find("line\nfeed"), std::string::npos) << output;
    }
    EXPECT_NE(verified.find("unsafe entry name 'line\\x0Afeed.txt'"), std::string::npos) << verified;
    EXPECT_NE(verified.find("unsafe entry name '. \\x.txt'"), std::string::npos) << verified;
}

// Bytes no entry reads are worth a warning, not a failure: the launcher
// opens such a package and never reads them.
TEST(PackageCommands, VerifyWarnsOfBytesBetweenTheDataAreaAndTheFooter)
{
    struct Case {
        const char* label;
        std::optional<int32_t> recordedSize;
        const char* warning; // empty: none
    };
    const std::vector<Case> cases{
        {"sizes that fill the data area", {}, ""},
        {"three bytes left over", 2, "warning: %s: 3 bytes between the data area and the footer belong to no entry\n"},
    };
    for (const Case& c : cases) {
        Kavo::KxTestFolder folder;
        PackageLayout layout;
        layout.entries = {{u"QIRA_t.exe", "main", {}, true}, {u"docs\\a.txt", "xyzab", c.recordedSize, true}};
        folder.writeFile(u"packed.exe", buildPackage(layout));
        const fs::path packed = folder.path() / "packed.exe";
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        int exitCode = -1;
        EXPECT_NO_THROW(exitCode = verifyPackage(packed)) << c.label;
        EXPECT_EQ(exitCode, 0) << c.label;
        const std::string printed = testing::internal::GetCapturedStdout();
        const std::string warned = testing::internal::GetCapturedStderr();
        EXPECT_NE(printed.find("2 entries, consistent, not signed"), std::string::npos) << c.label << ": " << printed;
        char expected[512] = {};
        std::snprintf(expected, sizeof expected, c.warning, packed.u8string().c_str());
        EXPECT_EQ(warned, *c.warning ? std::string("tessit-pack: ") + expected : std::string()) << c.label;
    }
}

// The packer makes packages for Windows launchers whatever system it runs
// on: it refuses what they would skip, and lets pass what lands inside the
// folder.
TEST(PackEntries, RefusesNamesALauncherWouldNotWrite)
{
    struct Case {
        const char16_t* name;
        bool refused;
    };
    const std::vector<Case> cases{
        {u"a:b.txt", true},      {u"C:\\drive.txt", true}, {u"..\\up.txt", true},
        {u"a\\..\\..\\up.txt", true}, {u"\\lead.txt", false},  {u"docs\\a.txt", false},
    };
    for (const Case& c : cases) {
        PackEntry entry;
        entry.name = c.name;
        entry.source = "source.txt";
        entry.size = 1;
        if (c.refused)
            EXPECT_THROW(checkEntries({entry}), PackError) << testing::PrintToString(KxString(c.name));
        else
            EXPECT_NO_THROW(checkEntries({entry})) << testing::PrintToString(KxString(c.name));
    }
}
