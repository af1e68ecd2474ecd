#include "CrossBuiltPrograms.h"
#include "KxTestPrinting.h"
#include "PackageTestSupport.h"

#include "texts/LauncherTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace Tessit;
using Kavo::KxString;

namespace {

std::vector<FixtureEntry> twoEntries() { return {{u"QIRA_t.exe", "first data", {}, true}, {u"docs\\a.txt", "xy", {}, true}}; }

struct LauncherImage {
    const char* label;
    std::string bytes;
};

std::vector<LauncherImage> launcherImages()
{
    std::vector<LauncherImage> images{{"synthetic PE32", minimalPe(PeKind::Pe32)},
                                      {"synthetic PE32+", minimalPe(PeKind::Pe32Plus)}};
    if (crossBuiltProgramsBuilt) {
        images.push_back({"cross-built PE32", fileBytes(crossBuiltProgram(u"tiny-pe32.exe"))});
        images.push_back({"cross-built PE32+", fileBytes(crossBuiltProgram(u"tiny-pe32plus.exe"))});
    }
    return images;
}

KxString expectedOpenLog(const PackageRun& run, uint32_t certificateOffset, uint32_t certificateSize,
                         uint32_t padding)
{
    KxString log;
    log.appendFormat(kLogModule, &run.executable);
    log.appendFormat(kLogCertificateTable, certificateOffset, certificateSize);
    log.appendFormat(kLogPadding, padding);
    log.appendFormat(kLogTempFolder, &run.platform.temporaryFolder);
    log.appendFormat(kLogOemId, 7);
    log.appendFormat(kLogCount, 2);
    return log;
}

} // namespace

TEST(PackageLocator, CrossBuiltLaunchersAreRealPeImages)
{
    if (!crossBuiltProgramsBuilt)
        GTEST_SKIP() << crossBuiltProgramsSkipped;
    for (const LauncherImage& image : launcherImages()) {
        ASSERT_GE(image.bytes.size(), 0x200u) << image.label;
        EXPECT_EQ(image.bytes.substr(0, 2), "MZ") << image.label;
        EXPECT_EQ(getLittleEndian(image.bytes, securityEntryOffset(image.bytes)), 0u) << image.label;
    }
}

// Every launcher kind, unsigned and signed, with every padding a signer may
// choose (removing the signature leaves it behind): the package opens at its
// data area and the log tells where the table and the footer were.
TEST(PackageLocator, FindsThePackageInFrontOfTheCertificateTable)
{
    for (const LauncherImage& image : launcherImages()) {
        for (const uint32_t certificateSize : {0u, 1064u}) {
            for (uint32_t padding = 0; padding < 8u; ++padding) {
                const std::string where = std::string(image.label) + ", table " + std::to_string(certificateSize) +
                                          ", padding " + std::to_string(padding);
                PackageRun run;
                PackageLayout layout;
                layout.image = image.bytes;
                layout.entries = twoEntries();
                layout.padding = padding;
                layout.certificateSize = certificateSize;
                PackageRegions regions;
                const OpenResult result = run.open(buildPackage(layout, &regions));

                ASSERT_EQ(result.outcome, OpenOutcome::Opened) << where;
                const uint32_t certificateOffset = certificateSize ? uint32_t(regions.certificate) : 0;
                EXPECT_EQ(run.log, expectedOpenLog(run, certificateOffset, certificateSize, padding)) << where;
                EXPECT_EQ(result.location.headerOffset, regions.header) << where;
                EXPECT_EQ(run.header().oemId, 7) << where;
                EXPECT_EQ(run.header().sizes, (std::vector<int32_t>{10, 2})) << where;
                EXPECT_EQ(run.header().name(1), KxString(u"docs\\a.txt")) << where;
                char first[5] = {};
                EXPECT_TRUE(run.package.readAt(run.package.dataOffset(), first, 5)) << where;
                EXPECT_EQ(std::string(first, 5), "first") << where;
                EXPECT_EQ(run.platform.debugLines, std::vector<KxString>{kTraceLocatingPackage});
            }
        }
    }
}

TEST(PackageLocator, EntriesNamedLikeTheLauncherMayOrMayNotCarryData)
{
    for (const bool stored : {true, false}) {
        PackageRun run;
        PackageLayout layout;
        layout.entries = {{u"TESSIT.exe", "launcher bytes", {}, stored}, {u"after.txt", "after", {}, true}};
        ASSERT_EQ(run.open(buildPackage(layout)).outcome, OpenOutcome::Opened) << stored;
        EXPECT_EQ(run.header().launcherEntriesCarryData, stored);
        const ExtractionReport report = run.extract();
        EXPECT_EQ(report.entries, (std::vector<EntryOutcome>{EntryOutcome::SkippedLauncher, EntryOutcome::Written}));
        EXPECT_EQ(run.extracted(u"after.txt"), "after") << stored;
        EXPECT_FALSE(std::filesystem::exists(run.folder.at(u"temp/TESSIT.exe")));
    }
}

// Bytes after the last entry and before the footer are never read: the
// package opens, every entry gets its own bytes, and the locator tells how
// many there are.
TEST(PackageLocator, BytesBetweenTheDataAreaAndTheFooterAreLeftUnread)
{
    struct Case {
        const char* label;
        std::vector<FixtureEntry> entries;
        uint32_t certificateSize;
        uint64_t slack;
    };
    const std::vector<Case> cases{
        {"one byte recorded short", {{u"QIRA_t.exe", "main", {}, true}, {u"docs\\a.txt", "xy", 1, true}}, 0, 1},
        {"a signed file", {{u"QIRA_t.exe", "main", 2, true}, {u"docs\\a.txt", "xy", 0, true}}, 1064, 4},
        {"a launcher entry without bytes",
         {{u"QIRA_t.exe", "main", {}, true}, {u"Tessit.exe", "", 100, true}, {u"docs\\a.txt", "xy", 1, true}}, 0, 1},
    };
    for (const Case& c : cases) {
        PackageLayout layout;
        layout.entries = c.entries;
        layout.certificateSize = c.certificateSize;
        layout.padding = c.certificateSize ? 4 : 0;
        PackageRun run;
        const OpenResult result = run.open(buildPackage(layout));
        ASSERT_EQ(result.outcome, OpenOutcome::Opened) << c.label;
        EXPECT_EQ(result.location.slack, c.slack) << c.label;
        EXPECT_FALSE(run.header().launcherEntriesCarryData) << c.label;
        // A signed file is extracted only when its signature holds, which
        // the fixture's table is not: its layout is what is checked here.
        if (c.certificateSize != 0)
            continue;
        const ExtractionReport report = run.extract();
        EXPECT_FALSE(report.damaged()) << c.label;
        for (size_t index = 0; index < c.entries.size(); ++index) {
            const FixtureEntry& entry = c.entries[index];
            if (entry.name == u"Tessit.exe")
                continue;
            const size_t size = size_t(entry.recordedSize.value_or(int32_t(entry.data.size())));
            std::u16string path = entry.name;
            std::replace(path.begin(), path.end(), u'\\', u'/');
            EXPECT_EQ(run.extracted(path), entry.data.substr(0, size)) << c.label << ", entry " << index + 1;
        }
    }
}

// A launcher whose signature osslsigncode removed keeps the signer's zero
// padding behind its footer, and still opens.
TEST(PackageLocator, OpensALauncherWhoseSignatureWasRemoved)
{
    if (!signedPackagesBuilt)
        GTEST_SKIP() << signedPackagesSkipped;
    for (const char16_t* name : {u"signed/tiny-pe32-signature-removed.exe", u"signed/tiny-pe32plus-signature-removed.exe"}) {
        const std::string label = std::filesystem::path(name).filename().string();
        const std::string bytes = fileBytes(crossBuiltProgram(name));
        ASSERT_EQ(getLittleEndian(bytes, securityEntryOffset(bytes) + 4), 0u) << label << " still has a table";
        PackageRun run;
        const OpenResult result = run.open(bytes);
        ASSERT_EQ(result.outcome, OpenOutcome::Opened) << label;
        // The package as packed: header, QIRA_t.exe, docs\data.bin, footer.
        const uint64_t packedLength = result.location.headerOffset + 8 + 2 * 132 + 17 + 600000 + 8;
        EXPECT_GT(bytes.size(), packedLength) << label;
        EXPECT_EQ(uint64_t(result.location.padding), bytes.size() - packedLength) << label;
        EXPECT_EQ(result.location.certificateSize, 0u) << label;
        EXPECT_EQ(run.header().oemId, 47) << label;
        EXPECT_FALSE(run.extract().damaged()) << label;
        EXPECT_EQ(run.extracted(u"QIRA_t.exe"), "signed main tool\n") << label;
        EXPECT_EQ(run.extracted(u"docs/data.bin").size(), 600000u) << label;
    }
}

// Whatever the last entry ends with, only the footer the packer wrote counts:
// only zeros follow it up to the certificate table or the end of the file.
TEST(PackageLocator, TheLastEntryCannotStandInForTheFooter)
{
    PackageLayout probe;
    probe.entries = {{u"QIRA_t.exe", "first data", {}, true}, {u"last.bin", "", {}, true}};
    PackageRegions probeRegions;
    buildPackage(probe, &probeRegions);
    const size_t lastEntryAt = probeRegions.data + probe.entries[0].data.size();

    PackageLayout inner;
    inner.entries = twoEntries();
    const std::vector<std::pair<const char*, std::string>> endings{
        {"the magic", packageMagic()},
        {"the magic and zeros", packageMagic() + littleEndianWord(0)},
        {"the magic and the header's offset", packageMagic() + littleEndianWord(uint32_t(probeRegions.header))},
        {"a package of its own", hiddenPackage(lastEntryAt)},
        {"a packed launcher", buildPackage(inner)},
    };
    for (const auto& [label, ending] : endings) {
        for (const uint32_t certificateSize : {0u, 1064u}) {
            for (uint32_t padding = 0; padding < 8u; ++padding) {
                const std::string where = std::string(label) + ", table " + std::to_string(certificateSize) +
                                          ", padding " + std::to_string(padding);
                PackageLayout layout = probe;
                layout.entries[1].data = "last entry: " + ending;
                layout.padding = padding;
                layout.certificateSize = certificateSize;
                PackageRun run;
                const OpenResult result = run.open(buildPackage(layout));
                ASSERT_EQ(result.outcome, OpenOutcome::Opened) << where;
                EXPECT_EQ(result.location.headerOffset, probeRegions.header) << where;
                EXPECT_EQ(result.location.padding, int32_t(padding)) << where;
                EXPECT_EQ(result.location.footerCandidates, 1u) << where;
                EXPECT_EQ(run.header().oemId, 7) << where;
                EXPECT_EQ(run.header().name(1), KxString(u"last.bin")) << where;
                EXPECT_EQ(run.header().sizes[1], int32_t(layout.entries[1].data.size())) << where;
            }
        }
    }
}

// Two places fit only in a crafted file: the header offset of the earlier
// footer is itself a magic followed by zeros.
TEST(PackageLocator, CountsEveryPlaceAFooterFits)
{
    PackageLayout layout;
    layout.entries = twoEntries();
    layout.padding = 4;
    layout.certificateSize = 512;
    PackageRegions regions;
    std::string file = buildPackage(layout, &regions);
    putLittleEndian(file, regions.footer + 4, 0xFEBA37D1u);
    PackageRun run;
    const OpenResult result = run.open(file);
    EXPECT_EQ(result.location.footerCandidates, 2u);
    EXPECT_EQ(result.location.padding, 4);
    EXPECT_EQ(result.problem, OpenProblem::Inconsistent);
}

// What the run shows for each way the package fails to open; none of them
// leaves a file or folder behind.
TEST(PackageLocator, ReportsEachFailureWithItsOutcome)
{
    struct Case {
        const char* label;
        std::function<std::string(PackageLayout&)> build;
        OpenOutcome outcome;
        OpenProblem problem;
        const char16_t* message; // formatted with the executable's path
    };
    const std::vector<Case> cases{
        {"no package", [](PackageLayout& layout) { return layout.image; }, OpenOutcome::Failed, OpenProblem::NoFooter,
         kMessageNoFooter},
        {"four bytes", [](PackageLayout&) { return std::string("MZ\0\0", 4); }, OpenOutcome::Stopped,
         OpenProblem::TooShort, u""},
        {"count 0", [](PackageLayout& layout) { layout.entries.clear(); return buildPackage(layout); }, OpenOutcome::Stopped,
         OpenProblem::CountOutOfRange, u""},
        {"count 31", [](PackageLayout& layout) { layout.recordedCount = 31; return buildPackage(layout); },
         OpenOutcome::Stopped, OpenProblem::CountOutOfRange, u""},
        {"count -1", [](PackageLayout& layout) { layout.recordedCount = -1; return buildPackage(layout); },
         OpenOutcome::Stopped, OpenProblem::CountOutOfRange, u""},
        {"negative size",
         [](PackageLayout& layout) {
             // The sizes still add up to the data area.
             layout.entries = {{u"a", "", -4, true}, {u"b", "xy", {}, true}, {u"c", "pppp", 8, true}};
             return buildPackage(layout);
         },
         OpenOutcome::Failed, OpenProblem::Inconsistent, kMessageInconsistent},
        {"size past the end",
         [](PackageLayout& layout) { layout.entries[1].recordedSize = 1 << 20; return buildPackage(layout); },
         OpenOutcome::Failed, OpenProblem::Inconsistent, kMessageInconsistent},
        {"name slot without U+0000",
         [](PackageLayout& layout) { layout.terminateNames = false; return buildPackage(layout); }, OpenOutcome::Failed,
         OpenProblem::Inconsistent, kMessageInconsistent},
        {"header offset four bytes late",
         [](PackageLayout& layout) {
             PackageRegions regions;
             std::string file = buildPackage(layout, &regions);
             putLittleEndian(file, file.size() - 4, uint32_t(regions.header + 4));
             return file;
         },
         OpenOutcome::Failed, OpenProblem::Inconsistent, kMessageInconsistent},
        {"header offset past the end",
         [](PackageLayout& layout) {
             std::string file = buildPackage(layout);
             putLittleEndian(file, file.size() - 4, 0xFFFFFFF0u);
             return file;
         },
         OpenOutcome::Failed, OpenProblem::Inconsistent, kMessageInconsistent},
        // Signers pad with zeros: a magic followed by anything else is no footer.
        {"padding that is not zero",
         [](PackageLayout& layout) {
             layout.padding = 3;
             layout.certificateSize = 512;
             PackageRegions regions;
             std::string file = buildPackage(layout, &regions);
             file[regions.padding + 1] = '\x01';
             return file;
         },
         OpenOutcome::Failed, OpenProblem::NoFooter, kMessageNoFooter},
        {"padding that is not zero, without a certificate table",
         [](PackageLayout& layout) {
             layout.padding = 3;
             PackageRegions regions;
             std::string file = buildPackage(layout, &regions);
             file[regions.padding + 2] = '\x01';
             return file;
         },
         OpenOutcome::Failed, OpenProblem::NoFooter, kMessageNoFooter},
        {"certificate table larger than the file",
         [](PackageLayout& layout) {
             std::string file = buildPackage(layout);
             putLittleEndian(file, securityEntryOffset(file), 16);
             putLittleEndian(file, securityEntryOffset(file) + 4, 1u << 30);
             return file;
         },
         OpenOutcome::Failed, OpenProblem::NoFooter, kMessageNoFooter},
    };
    for (const Case& c : cases) {
        PackageRun run;
        PackageLayout layout;
        layout.entries = twoEntries();
        const OpenResult result = run.open(c.build(layout));
        KxString message;
        message.format(c.message, &run.executable);
        EXPECT_EQ(result.outcome, c.outcome) << c.label;
        EXPECT_EQ(result.problem, c.problem) << c.label;
        EXPECT_EQ(result.message, message) << c.label;
        // The locator closes the package file on every failure, and says so
        // once; a stopped run leaves the closing to the run sequence.
        const auto closedLines = std::count(run.platform.debugLines.begin(), run.platform.debugLines.end(),
                                            KxString(kTracePackageClosed));
        EXPECT_EQ(closedLines, c.outcome == OpenOutcome::Failed ? 1 : 0) << c.label;
        if (c.outcome == OpenOutcome::Failed) {
            EXPECT_FALSE(run.package.isOpen()) << c.label;
        }
        EXPECT_EQ(run.writtenFiles(), std::vector<std::filesystem::path>{"temp"}) << c.label;
    }
}

TEST(PackageLocator, AnEntryCountOutOfRangeStopsAfterItIsLogged)
{
    PackageRun run;
    PackageLayout layout;
    layout.recordedCount = 31;
    layout.entries = twoEntries();
    ASSERT_EQ(run.open(buildPackage(layout)).outcome, OpenOutcome::Stopped);
    KxString expected;
    expected.format(u"Module : %@\ncodeSignSize: [0, 0]\npadding size: [0]\nTemp Path : %@\nOEM : 7\nCount : 31\n",
                    &run.executable, &run.platform.temporaryFolder);
    EXPECT_EQ(run.log, expected);
}

TEST(PackageLocator, AMissingExecutableIsReportedByItsPath)
{
    PackageRun run;
    const KxString missing = run.folder.text(u"missing.exe");
    const OpenResult result = OpenPackage(run.package, missing, run.log);
    EXPECT_EQ(result.outcome, OpenOutcome::Failed);
    EXPECT_EQ(result.message, KxString(u"Can not find ") + missing + u" file!!!");
    EXPECT_EQ(run.log, KxString());
}

TEST(PackageLocator, AMissingFooterClosesThePackageWithATraceLine)
{
    PackageRun run;
    ASSERT_EQ(run.open(minimalPe(PeKind::Pe32)).outcome, OpenOutcome::Failed);
    EXPECT_EQ(run.platform.debugLines,
              (std::vector<KxString>{kTraceLocatingPackage, kTracePackageClosed}));
}

// Without a private temporary folder nothing is written into the current one.
TEST(PackageLocator, RefusesToRunWithoutATemporaryFolder)
{
    PackageRun run;
    run.platform.temporaryFolder = KxString();
    PackageLayout layout;
    layout.entries = twoEntries();
    const OpenResult result = run.open(buildPackage(layout));
    EXPECT_EQ(result.outcome, OpenOutcome::Failed);
    EXPECT_EQ(result.message, KxString(kMessageNoTempFolder));
    EXPECT_FALSE(run.package.isOpen());
    EXPECT_EQ(run.platform.debugLines,
              (std::vector<KxString>{kTraceLocatingPackage, kTracePackageClosed}));
}

// A package cut short at any boundary between its regions, or inside one,
// never opens. (A cut inside the certificate table leaves the package whole:
// the signature, not the package, is then broken.)
TEST(PackageLocator, RefusesPackagesCutShort)
{
    for (const uint32_t certificateSize : {0u, 512u}) {
        PackageLayout layout;
        layout.entries = twoEntries();
        layout.padding = certificateSize ? 4 : 0;
        layout.certificateSize = certificateSize;
        PackageRegions regions;
        const std::string whole = buildPackage(layout, &regions);
        for (const size_t cut : {size_t(3), size_t(64), regions.header, regions.header + 4, regions.header + 8,
                                 regions.header + 16, regions.header + 100, regions.data, regions.data + 5,
                                 regions.footer, regions.footer + 4, regions.padding, regions.certificate}) {
            if (cut >= whole.size())
                continue;
            PackageRun run;
            const OpenResult result = run.open(whole.substr(0, cut));
            EXPECT_NE(result.outcome, OpenOutcome::Opened) << "cut at " << cut << ", table " << certificateSize;
            EXPECT_EQ(run.writtenFiles(), std::vector<std::filesystem::path>{"temp"}) << "cut at " << cut;
        }
    }
}
