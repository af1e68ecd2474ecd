#include "CrossBuiltPrograms.h"
#include "KxTestPrinting.h"
#include "PackageTestSupport.h"

#include "package/PackageFormat.h"
#include "package/PeImage.h"
#include "package/SignatureDigest.h"
#include "platform/NativeSignatureCrypto.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Tessit;
using Kavo::KxString;

namespace {

// The stand-in launchers with a package of two entries (QIRA_t.exe and
// docs\data.bin, 600000 bytes), signed by osslsigncode at build time.
struct SignedPackage {
    const char16_t* file;
    const char* algorithm;
};

const SignedPackage kSignedPackages[] = {
    {u"signed/tiny-pe32-sha256.exe", "SHA-256"},
    {u"signed/tiny-pe32-sha1.exe", "SHA-1"},
    {u"signed/tiny-pe32plus-sha256.exe", "SHA-256"},
    {u"signed/tiny-pe32plus-sha1.exe", "SHA-1"},
};

std::string label(const SignedPackage& package) { return std::filesystem::path(package.file).filename().string(); }

// Where the parts of a PE file and its package lie, read independently of
// the code under test.
struct SignedLayout {
    size_t checkSum, firstSectionData, header, names, data, certificate;
};

SignedLayout layoutOf(const std::string& file)
{
    const size_t signature = getLittleEndian(file, 0x3C);
    const size_t optionalHeader = signature + 24;
    const size_t sectionTable = optionalHeader + getLittleEndian(file, signature + 20, 2);
    SignedLayout layout{};
    layout.checkSum = optionalHeader + 64;
    layout.firstSectionData = getLittleEndian(file, sectionTable + 20);
    layout.certificate = getLittleEndian(file, securityEntryOffset(file));
    // The footer sits right before the signer's padding; its second word is
    // the header offset.
    size_t footer = layout.certificate - 8;
    while (getLittleEndian(file, footer) != 0xFEBA37D1u)
        --footer;
    layout.header = getLittleEndian(file, footer + 4);
    layout.names = layout.header + 8 + 4 * 2;
    layout.data = layout.header + 8 + 132 * 2;
    return layout;
}

class SignatureDigestTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!signedPackagesBuilt)
            GTEST_SKIP() << signedPackagesSkipped;
    }

    // Opens `bytes` as the launcher does and checks its signature's digest.
    SignatureCheck check(const std::string& bytes)
    {
        const OpenResult result = run.open(bytes);
        EXPECT_EQ(result.outcome, OpenOutcome::Opened);
        location = result.location;
        return CheckSignatureDigest(crypto.get(), run.file, location, run.header);
    }

    std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
    PackageRun run;
    PackageLocation location;
};

} // namespace

// Each signature holds, and the package file is left at the data area for
// the extraction.
TEST_F(SignatureDigestTest, ASignedPackageHoldsItsDigest)
{
    for (const SignedPackage& package : kSignedPackages) {
        PackageRun fresh;
        const OpenResult result = fresh.open(fileBytes(crossBuiltProgram(package.file)));
        ASSERT_EQ(result.outcome, OpenOutcome::Opened) << label(package);
        const SignatureCheck signature = CheckSignatureDigest(crypto.get(), fresh.file, result.location, fresh.header);
        EXPECT_EQ(signature.problem, SignatureProblem::None) << label(package);
        EXPECT_EQ(signature.algorithm, package.algorithm) << label(package);
        const ExtractionReport report = fresh.extract();
        EXPECT_FALSE(report.damaged()) << label(package);
        EXPECT_EQ(fresh.extracted(u"QIRA_t.exe"), "signed main tool\n") << label(package);
        EXPECT_EQ(fresh.extracted(u"docs/data.bin").size(), 600000u) << label(package);
    }
}

// One byte changed anywhere the digest covers, the size kept, is found; the
// checksum field is left out of the digest, as Authenticode defines.
TEST_F(SignatureDigestTest, OneChangedByteIsFound)
{
    struct Change {
        const char* where;
        std::function<size_t(const SignedLayout&)> offset;
        SignatureProblem problem;
    };
    const std::vector<Change> changes{
        {"the package data", [](const SignedLayout& at) { return at.data + 300000; }, SignatureProblem::Mismatch},
        {"an entry name", [](const SignedLayout& at) { return at.names; }, SignatureProblem::Mismatch},
        {"the header's OEM number", [](const SignedLayout& at) { return at.header; }, SignatureProblem::Mismatch},
        {"the launcher's code", [](const SignedLayout& at) { return at.firstSectionData + 16; },
         SignatureProblem::Mismatch},
        {"the checksum field", [](const SignedLayout& at) { return at.checkSum; }, SignatureProblem::None},
    };
    for (const SignedPackage& package : kSignedPackages) {
        const std::string signedFile = fileBytes(crossBuiltProgram(package.file));
        const SignedLayout layout = layoutOf(signedFile);
        for (const Change& change : changes) {
            std::string changed = signedFile;
            changed[change.offset(layout)] ^= 0x01;
            PackageRun fresh;
            const OpenResult result = fresh.open(changed);
            ASSERT_EQ(result.outcome, OpenOutcome::Opened) << label(package) << ", " << change.where;
            const SignatureCheck signature =
                CheckSignatureDigest(crypto.get(), fresh.file, result.location, fresh.header);
            EXPECT_EQ(signature.problem, change.problem) << label(package) << ", " << change.where;
        }
    }
}

// What cannot be checked is reported as such, never as a match.
TEST_F(SignatureDigestTest, ReportsWhatCannotBeChecked)
{
    const std::string signedFile = fileBytes(crossBuiltProgram(u"signed/tiny-pe32-sha256.exe"));
    const SignedLayout layout = layoutOf(signedFile);
    const size_t tableSize = signedFile.size() - layout.certificate;
    struct Case {
        const char* label;
        std::function<void(std::string&)> change;
        SignatureProblem problem;
    };
    const std::vector<Case> cases{
        {"a table of garbage",
         [&](std::string& file) {
             for (size_t at = layout.certificate; at < file.size(); ++at)
                 file[at] = char(at * 7 + 1);
         },
         SignatureProblem::NoSignedData},
        {"a signature of garbage behind a sound table header",
         [&](std::string& file) {
             for (size_t at = layout.certificate + 8; at < file.size(); ++at)
                 file[at] = char(at * 13 + 5);
         },
         SignatureProblem::NoSignedData},
        {"a table header claiming more than the table",
         [&](std::string& file) { putLittleEndian(file, layout.certificate, uint32_t(tableSize + 8)); },
         SignatureProblem::NoSignedData},
        {"a table that is not PKCS #7 signed data",
         [&](std::string& file) { putLittleEndian(file, layout.certificate + 6, 1, 2); },
         SignatureProblem::NoSignedData},
        {"a section that leaves a gap",
         [&](std::string& file) {
             const size_t signature = getLittleEndian(file, 0x3C);
             const size_t section = signature + 24 + getLittleEndian(file, signature + 20, 2);
             putLittleEndian(file, section + 20, getLittleEndian(file, section + 20) + 0x200);
         },
         SignatureProblem::UnsupportedLayout},
    };
    for (const Case& c : cases) {
        std::string file = signedFile;
        c.change(file);
        PackageRun fresh;
        const OpenResult result = fresh.open(file);
        ASSERT_EQ(result.outcome, OpenOutcome::Opened) << c.label;
        EXPECT_EQ(CheckSignatureDigest(crypto.get(), fresh.file, result.location, fresh.header).problem, c.problem)
            << c.label;
    }

    EXPECT_EQ(check(fileBytes(crossBuiltProgram(u"signed/tiny-pe32plus-sha512.exe"))).problem,
              SignatureProblem::UnknownAlgorithm);
    EXPECT_EQ(check(fileBytes(crossBuiltProgram(u"signed/tiny-pe32plus-sha512.exe"))).algorithm,
              "2.16.840.1.101.3.4.2.3");
    EXPECT_EQ(CheckSignatureDigest(nullptr, run.file, location, run.header).problem, SignatureProblem::NoCryptography);

    // Bytes after the table are covered by nothing.
    check(signedFile);
    PackageLocation moved = location;
    moved.fileLength += 8;
    EXPECT_EQ(CheckSignatureDigest(crypto.get(), run.file, moved, run.header).problem, SignatureProblem::TableNotAtEnd);
}

// The parts Authenticode hashes: headers without the checksum and the
// security directory entry, sections by file offset (empty ones left out),
// then the rest up to the table.
TEST(AuthenticodeRanges, FollowTheHeadersAndSections)
{
    for (const PeKind kind : {PeKind::Pe32, PeKind::Pe32Plus}) {
        std::string image = minimalPe(kind);
        const size_t optionalHeader = 0x58;
        const size_t sectionTable = optionalHeader + getLittleEndian(image, 0x54, 2);
        putLittleEndian(image, 0x46, 3, 2);                  // three sections
        putLittleEndian(image, optionalHeader + 60, 0x200);   // SizeOfHeaders
        const auto section = [&](int index, uint32_t rawSize, uint32_t rawOffset) {
            putLittleEndian(image, sectionTable + 40 * size_t(index) + 16, rawSize);
            putLittleEndian(image, sectionTable + 40 * size_t(index) + 20, rawOffset);
        };
        section(0, 0x100, 0x300); // listed before the one in front of it
        section(1, 0, 0x900);     // no raw data
        section(2, 0x100, 0x200);
        const size_t securityEntry = securityEntryOffset(image);
        const auto ranges = authenticodeRanges(reinterpret_cast<const uint8_t*>(image.data()), image.size(), 0x1000, 0x80);
        ASSERT_TRUE(ranges.has_value());
        const std::vector<std::pair<uint64_t, uint64_t>> expected{
            {0, optionalHeader + 64}, {optionalHeader + 68, securityEntry}, {securityEntry + 8, 0x200},
            {0x200, 0x300},           {0x300, 0x400},                       {0x400, 0x1000 - 0x80}};
        std::vector<std::pair<uint64_t, uint64_t>> actual;
        for (const FileRange& range : *ranges)
            actual.emplace_back(range.begin, range.end);
        EXPECT_EQ(actual, expected);

        // Sections reaching into the table, or headers beyond the bytes given.
        EXPECT_FALSE(authenticodeRanges(reinterpret_cast<const uint8_t*>(image.data()), image.size(), 0x420, 0x80));
        EXPECT_FALSE(authenticodeRanges(reinterpret_cast<const uint8_t*>(image.data()), 0x100, 0x1000, 0x80));
    }
}
