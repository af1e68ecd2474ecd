#include "CrossBuiltPrograms.h"
#include "KxTestPrinting.h"
#include "PackageTestSupport.h"

#include "EntrySources.h"
#include "LocatePackage.h"
#include "PackageCommands.h"
#include "PackageFacts.h"
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
        const LauncherImage image = prepareLauncher(launcher, false, replace);
        checkEntries(entries, image.rules);
        writePackage(image, 42, entries, output);
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

    EXPECT_NE(listed.find("line\\x0Afeed.txt  (never written: unsafe name, holds a control character)\n"),
              std::string::npos) << listed;
    EXPECT_NE(listed.find("\\x1B[2J.txt  (never written: unsafe name, holds a control character)\n"),
              std::string::npos) << listed;
    EXPECT_NE(listed.find(". \\x.txt  (never written: unsafe name, would be written outside the target folder)\n"),
              std::string::npos) << listed;
    for (const std::string& output : {listed, verified}) {
        EXPECT_EQ(output.find('\x1B'), std::string::npos) << output;
        EXPECT_EQ(output.find("line\nfeed"), std::string::npos) << output;
    }
    EXPECT_NE(verified.find("unsafe entry name 'line\\x0Afeed.txt'"), std::string::npos) << verified;
    EXPECT_NE(verified.find("unsafe entry name '. \\x.txt'"), std::string::npos) << verified;
}

// A Linux launcher writes names with ':', a Windows one skips them: the
// packer packs them onto the first and refuses them for the second.
TEST_F(PackageWriterTest, PacksNamesWithAColonOntoALinuxLauncherOnly)
{
    const fs::path log = file("log.txt", "12:30 started");
    const std::vector<std::string> items{item("payload/12:30.log", log)};
    const fs::path elf = file("tessit", std::string("\x7F" "ELF", 4) + std::string(508, '\0'));
    build(elf, items, folder.path() / "linux-packed");
    PackageHeader header;
    ASSERT_EQ(locatePackage(folder.path() / "linux-packed", header).outcome, OpenOutcome::Opened);
    EXPECT_EQ(header.name(0), KxString(u"payload\\12:30.log"));
    const fs::path pe = file("Tessit.exe", minimalPe(PeKind::Pe32));
    EXPECT_THROW(build(pe, items, folder.path() / "windows-packed.exe"), PackError);
    EXPECT_FALSE(fs::exists(folder.path() / "windows-packed.exe"));
}

// The signer's names are the package author's choice, with no chain of trust
// behind them: list and verify show them escaped, so they can neither act on
// the terminal nor read as another publisher.
TEST(PackageCommands, ShowTheSignersNamesEscaped)
{
    if (!signedPackagesBuilt)
        GTEST_SKIP() << signedPackagesSkipped;
    const fs::path package = crossBuiltProgram(u"signed/tiny-pe32-hostile-signer.exe");
    testing::internal::CaptureStdout();
    EXPECT_EQ(listPackage(package), 0);
    const std::string listed = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    EXPECT_EQ(verifyPackage(package), 0);
    const std::string verified = testing::internal::GetCapturedStdout();
    for (const std::string& output : {listed, verified}) {
        EXPECT_EQ(output.find('\x1B'), std::string::npos) << output;
        EXPECT_EQ(output.find("\xE2\x80\xAE"), std::string::npos) << output;
        EXPECT_EQ(output.find("\xC2\x9B"), std::string::npos) << output;
        EXPECT_NE(output.find("\\u202Eexe.txt"), std::string::npos) << output;
        EXPECT_NE(output.find("\\x9B31mred"), std::string::npos) << output;
    }
}

// Each entry the launcher a package is attached to will not write is named
// with the reason: its own name only warns (it is skipped by design), a name
// it must not write fails verify. ':' is a drive or a stream to a Windows
// launcher only.
TEST(PackageCommands, JudgeNamesAsTheLauncherTheyAreAttachedToReadsThem)
{
    struct Case {
        const char* label;
        std::string image;
        std::u16string name;
        int verified;
        const char* said;   // by verify, on standard error
        const char* listed; // list's note
    };
    const std::string elf = std::string("\x7F" "ELF", 4) + std::string(508, '\0');
    const std::vector<Case> cases{
        {"a stream on Windows", minimalPe(PeKind::Pe32), u"C:evil.txt", 1,
         "error: %s: unsafe entry name 'C:evil.txt': holds ':', which Windows reads as a drive or a stream; "
         "the launcher never writes it\n",
         "  (never written: unsafe name, holds ':', which Windows reads as a drive or a stream)"},
        {"a colon on Linux", elf, u"payload\\12:30.log", 0, "", ""},
        {"a device on Windows", minimalPe(PeKind::Pe32Plus), u"aux.h", 1,
         "error: %s: unsafe entry name 'aux.h': names a device on Windows; the launcher never writes it\n",
         "  (never written: unsafe name, names a device on Windows)"},
        {"the launcher's own name", minimalPe(PeKind::Pe32), u"tessit.EXE", 0,
         "warning: %s: entry 2 'tessit.EXE' has the launcher's own name and is never written\n",
         "  (never written: the launcher's own name)"},
    };
    for (const Case& c : cases) {
        Kavo::KxTestFolder folder;
        PackageLayout layout;
        layout.image = c.image;
        layout.entries = {{u"QIRA_t.exe", "main", {}, true}, {c.name, "x", {}, true}, {u"mDNSResponder.exe", "i", {}, true}};
        folder.writeFile(u"packed.exe", buildPackage(layout));
        const fs::path packed = folder.path() / "packed.exe";

        testing::internal::CaptureStdout();
        EXPECT_EQ(listPackage(packed), 0) << c.label;
        const std::string listed = testing::internal::GetCapturedStdout();
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(verifyPackage(packed), c.verified) << c.label;
        testing::internal::GetCapturedStdout();
        const std::string said = testing::internal::GetCapturedStderr();

        char expected[512] = {};
        std::snprintf(expected, sizeof expected, c.said, packed.u8string().c_str());
        EXPECT_EQ(said, *c.said ? std::string("tessit-pack: ") + expected : std::string()) << c.label;
        const std::string line = "1  " + utf8Of(printableEntryName(KxString(c.name.c_str()))) + c.listed + "\n";
        EXPECT_NE(listed.find(line), std::string::npos) << c.label << ": " << listed;
    }
}

// Bytes no entry reads are worth a warning, not a failure: the launcher
// opens such a package and never reads them.
TEST(PackageCommands, VerifyWarnsOfBytesBetweenTheDataAreaAndTheFooter)
{
    struct Case {
        const char* label;
        std::u16string name;
        std::optional<int32_t> recordedSize;
        const char* warning; // empty: none
    };
    const std::vector<Case> cases{
        {"sizes that fill the data area", u"docs\\a.txt", {}, ""},
        {"three bytes left over", u"docs\\a.txt", 2,
         "warning: {file}: 3 bytes between the data area and the footer belong to no entry\n"},
        {"a launcher entry whose bytes may or may not be stored", u"Tessit.exe", 2,
         "warning: {file}: 5 bytes between the data area and the footer belong to no entry\n"
         "tessit-pack: warning: {file}: entry 3 has the launcher's own name and records 2 bytes, taken to be stored "
         "nowhere since the data area has room to spare: had they been stored, every later entry is read from the "
         "wrong place\n"
         "tessit-pack: warning: {file}: entry 3 'Tessit.exe' has the launcher's own name and is never written\n"},
    };
    for (const Case& c : cases) {
        Kavo::KxTestFolder folder;
        PackageLayout layout;
        layout.entries = {{u"mDNSResponder.exe", "i", {}, true}, {u"QIRA_t.exe", "main", {}, true},
                          {c.name, "xyzab", c.recordedSize, true}};
        folder.writeFile(u"packed.exe", buildPackage(layout));
        const fs::path packed = folder.path() / "packed.exe";
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        int exitCode = -1;
        EXPECT_NO_THROW(exitCode = verifyPackage(packed)) << c.label;
        EXPECT_EQ(exitCode, 0) << c.label;
        const std::string printed = testing::internal::GetCapturedStdout();
        const std::string warned = testing::internal::GetCapturedStderr();
        EXPECT_NE(printed.find("3 entries, consistent, not signed"), std::string::npos) << c.label << ": " << printed;
        std::string expected = *c.warning ? std::string("tessit-pack: ") + c.warning : std::string();
        for (size_t at; (at = expected.find("{file}")) != std::string::npos;)
            expected.replace(at, 6, packed.u8string());
        EXPECT_EQ(warned, expected) << c.label;
    }
}

// The packer refuses what the launcher it packs onto would not write, or
// would write as another entry's file, by that launcher's rules, and says
// why; it lets pass what lands inside the folder.
TEST(PackEntries, RefusesNamesTheLauncherWouldNotWrite)
{
    struct Case {
        std::vector<std::u16string> names;
        const char* windows; // the refusal for a Windows launcher; empty: accepted
        const char* posix;   // and for a Linux one
    };
    const std::vector<Case> cases{
        {{u"a:b.txt"}, "entry name 'a:b.txt' holds ':', which Windows reads as a drive or a stream", ""},
        {{u"C:\\drive.txt"}, "entry name 'C:\\drive.txt' holds ':', which Windows reads as a drive or a stream", ""},
        {{u"..\\up.txt"}, "entry name '..\\up.txt' would be written outside the target folder",
         "entry name '..\\up.txt' would be written outside the target folder"},
        {{u"tab\tname.txt"}, "entry name 'tab\tname.txt' holds a control character",
         "entry name 'tab\tname.txt' holds a control character"},
        {{u"docs\\"}, "entry name 'docs\\' names a folder, not a file", "entry name 'docs\\' names a folder, not a file"},
        {{u"LPT1.log"}, "entry name 'LPT1.log' names a device on Windows", ""},
        {{u"docs\\a.txt", u"docs/a.txt"}, "entry names 'docs\\a.txt' and 'docs/a.txt' are the same file on Windows",
         "entry names 'docs\\a.txt' and 'docs/a.txt' are the same file"},
        {{u"b.txt", u".\\B.txt"}, "entry names 'b.txt' and '.\\B.txt' are the same file on Windows", ""},
        {{u"\\lead.txt", u"docs\\a.txt"}, "", ""},
    };
    for (const Case& c : cases) {
        std::vector<PackEntry> entries;
        for (const std::u16string& name : c.names)
            entries.push_back(PackEntry{KxString(name.c_str()), "source.txt", 1});
        for (const NameRules rules : {NameRules::Windows, NameRules::Posix}) {
            const std::string expected = rules == NameRules::Windows ? c.windows : c.posix;
            SCOPED_TRACE(testing::PrintToString(KxString(c.names[0].c_str())) +
                         (rules == NameRules::Windows ? " for Windows" : " for Linux"));
            std::string refusal;
            try {
                checkEntries(entries, rules);
            } catch (const PackError& error) {
                refusal = error.what();
            }
            EXPECT_EQ(refusal, expected);
        }
    }
}
