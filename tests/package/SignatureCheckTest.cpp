#include "CrossBuiltPrograms.h"
#include "KxTestPrinting.h"
#include "PackageTestSupport.h"
#include "SystemCryptography.h"

#include "package/PackageFormat.h"
#include "package/PeImage.h"
#include "package/SignatureCheck.h"
#include "platform/NativeSignatureCrypto.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Tessit;
using Kavo::KxString;

namespace {

// The stand-in launchers with a package of two entries (QIRA_t.exe and
// docs\data.bin, 600000 bytes), signed by osslsigncode at build time
// (make-signed-packages.sh) with a certificate for this name.
constexpr const char* kSigner = "O=Tessit tests, CN=Tessit test signer";

struct SignedPackage {
    std::u16string file;
    const char* algorithm;
};

std::vector<SignedPackage> signedPackages()
{
    const std::pair<const char16_t*, const char*> variants[] = {
        {u"sha1", "SHA-1"},         {u"sha256", "SHA-256"},   {u"sha384", "SHA-384"},
        {u"sha512", "SHA-512"},     {u"resigned", "SHA-384"}, {u"nested", "SHA-256"},
    };
    std::vector<SignedPackage> packages;
    for (const char16_t* kind : {u"pe32", u"pe32plus"})
        for (const auto& [variant, algorithm] : variants)
            packages.push_back({std::u16string(u"signed/tiny-") + kind + u"-" + variant + u".exe", algorithm});
    return packages;
}

std::string label(const std::u16string& file) { return std::filesystem::path(file).filename().string(); }

// Where the parts of a PE file and its package lie, read independently of
// the code under test.
struct SignedLayout {
    size_t checkSum, firstSectionData, header, names, data, certificate;
    size_t signatureEnd; // the end of the first entry's DER, before the signer's padding
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
    // A signature of some kilobytes: SEQUENCE, two length bytes.
    const size_t der = layout.certificate + 8;
    layout.signatureEnd = der + 4 + (uint8_t(file[der + 2]) << 8 | uint8_t(file[der + 3]));
    return layout;
}

// Appends `bytes` to the certificate table at the end of `file`.
void growTable(std::string& file, const std::string& bytes)
{
    const size_t entry = securityEntryOffset(file) + 4;
    putLittleEndian(file, entry, uint32_t(getLittleEndian(file, entry) + bytes.size()));
    file += bytes;
}

// A WIN_CERTIFICATE entry of `type` around `content`, padded to 8 bytes.
std::string certificateEntry(uint16_t type, const std::string& content)
{
    std::string entry(8, '\0');
    putLittleEndian(entry, 0, uint32_t(8 + content.size()));
    putLittleEndian(entry, 4, 0x0200, 2);
    putLittleEndian(entry, 6, type, 2);
    entry += content;
    entry.resize((entry.size() + 7) / 8 * 8, '\0');
    return entry;
}

class SignatureCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!signedPackagesBuilt)
            GTEST_SKIP() << signedPackagesSkipped;
    }

    // Opens `bytes` as the launcher does and checks its signature.
    SignatureCheck check(const std::string& bytes)
    {
        run = std::make_unique<PackageRun>();
        const OpenResult result = run->open(bytes);
        EXPECT_EQ(result.outcome, OpenOutcome::Opened);
        return CheckSignature(crypto.get(), run->package);
    }

    std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
    std::unique_ptr<PackageRun> run;
};

} // namespace

// Each signature holds whatever its digest algorithm, re-signed or nested,
// names its signer, and the package file is left at the data area for the
// extraction.
TEST_F(SignatureCheckTest, ASignedPackageHoldsItsSignature)
{
    for (const SignedPackage& package : signedPackages()) {
        const SignatureCheck signature = check(fileBytes(crossBuiltProgram(package.file.c_str())));
        EXPECT_EQ(signature.problem, SignatureProblem::None) << label(package.file);
        EXPECT_EQ(signature.algorithm, package.algorithm) << label(package.file);
        EXPECT_EQ(signature.signerSubject, kSigner) << label(package.file);
        EXPECT_EQ(signature.signerIssuer, kSigner) << label(package.file);
        const ExtractionReport report = run->extract(HeldEntryTest(), crypto.get());
        EXPECT_FALSE(report.refused()) << label(package.file);
        EXPECT_FALSE(report.damaged()) << label(package.file);
        EXPECT_EQ(run->extracted(u"QIRA_t.exe"), "signed main tool\n") << label(package.file);
        EXPECT_EQ(run->extracted(u"docs/data.bin").size(), 600000u) << label(package.file);
    }
}

// One byte changed anywhere the digest covers, the size kept, is found; the
// checksum field is left out of the digest, as Authenticode defines.
TEST_F(SignatureCheckTest, OneChangedByteIsFound)
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
    for (const SignedPackage& package : signedPackages()) {
        const std::string signedFile = fileBytes(crossBuiltProgram(package.file.c_str()));
        const SignedLayout layout = layoutOf(signedFile);
        for (const Change& change : changes) {
            std::string changed = signedFile;
            changed[change.offset(layout)] ^= 0x01;
            EXPECT_EQ(check(changed).problem, change.problem) << label(package.file) << ", " << change.where;
        }
    }
}

// Whoever can edit the file can also make the file digest inside the
// signature match again, and the messageDigest over that; only the signer
// can sign the result.
TEST_F(SignatureCheckTest, ASignatureChangedAfterSigningIsRefused)
{
    for (const char16_t* kind : {u"pe32", u"pe32plus"}) {
        const std::u16string prefix = std::u16string(u"signed/tiny-") + kind;
        for (const char16_t* forged : {u"-forged-digest.exe", u"-forged-attributes.exe"}) {
            const SignatureCheck signature = check(fileBytes(crossBuiltProgram((prefix + forged).c_str())));
            EXPECT_EQ(signature.problem, SignatureProblem::SignerNotVerified) << label(prefix + forged);
            EXPECT_EQ(signature.signerSubject, kSigner) << label(prefix + forged);
        }
        std::string signatureChanged = fileBytes(crossBuiltProgram((prefix + u"-sha256.exe").c_str()));
        signatureChanged[layoutOf(signatureChanged).signatureEnd - 16] ^= 0x01;
        EXPECT_EQ(check(signatureChanged).problem, SignatureProblem::SignerNotVerified)
            << label(prefix) << ", a byte of the signer's signature value";
    }
}

// The table is one whole signature entry up to the end of the file: bytes
// the digest leaves out and no signature of the file covers are refused,
// whatever the security directory claims.
TEST_F(SignatureCheckTest, TheCertificateTableHoldsOnlyWholeSignatures)
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
        {"junk after the entry, the directory grown over it",
         [](std::string& file) { growTable(file, std::string(16, 'J')); }, SignatureProblem::MalformedTable},
        {"zeros after the entry, the directory grown over them",
         [](std::string& file) { growTable(file, std::string(8, '\0')); }, SignatureProblem::MalformedTable},
        {"the entry's length grown over junk behind the signature",
         [&](std::string& file) {
             growTable(file, std::string(8, 'J'));
             putLittleEndian(file, layout.certificate, getLittleEndian(file, layout.certificate) + 8);
         },
         SignatureProblem::MalformedTable},
        {"a second entry of garbage",
         [](std::string& file) { growTable(file, certificateEntry(2, std::string(40, 'G'))); },
         SignatureProblem::NoSignedData},
        {"a second entry that holds no signed data",
         [](std::string& file) { growTable(file, certificateEntry(1, std::string(16, 'X'))); },
         SignatureProblem::NoSignedData},
        {"a second entry that is the file's own signature again",
         [&](std::string& file) { growTable(file, signedFile.substr(layout.certificate)); },
         SignatureProblem::SeveralEntries},
        {"a table of garbage",
         [&](std::string& file) {
             for (size_t at = layout.certificate; at < file.size(); ++at)
                 file[at] = char(at * 7 + 1);
         },
         SignatureProblem::MalformedTable},
        {"a signature of garbage behind a sound table header",
         [&](std::string& file) {
             for (size_t at = layout.certificate + 8; at < file.size(); ++at)
                 file[at] = char(at * 13 + 5);
         },
         SignatureProblem::NoSignedData},
        {"a table header claiming more than the table",
         [&](std::string& file) { putLittleEndian(file, layout.certificate, uint32_t(tableSize + 8)); },
         SignatureProblem::MalformedTable},
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
        // The signer left 7 bytes of padding: the footer is still found.
        {"a table that starts off the 8-byte grid, in the signer's padding",
         [&](std::string& file) {
             putLittleEndian(file, securityEntryOffset(file), uint32_t(layout.certificate - 1));
             putLittleEndian(file, securityEntryOffset(file) + 4, uint32_t(tableSize + 1));
         },
         SignatureProblem::MalformedTable},
        {"a table that the directory places beyond the end of the file",
         [&](std::string& file) { putLittleEndian(file, securityEntryOffset(file), uint32_t(layout.certificate + 8)); },
         SignatureProblem::TableNotAtEnd},
    };
    for (const Case& c : cases) {
        std::string file = signedFile;
        c.change(file);
        EXPECT_EQ(check(file).problem, c.problem) << c.label;
    }
}

// Signatures made by real tools that the check refuses on purpose, the
// same on every system: a table with a second entry (osslsigncode's
// signature over another file, 8 KiB of its signer's chosen bytes in it),
// which no signature of this file covers, and a signer that signed no
// authenticated attributes (openssl cms -noattr), which Windows refuses.
// An ECDSA signature holds where the system verifies ECDSA; where it cannot,
// it cannot be checked here, which is not a file changed after signing.
TEST_F(SignatureCheckTest, EachSignatureGetsOneVerdictOnEverySystem)
{
    const SignatureProblem ecdsa =
        systemVerifiesEcdsa() ? SignatureProblem::None : SignatureProblem::SignerNotCheckable;
    struct Case {
        const char16_t* variant;
        SignatureProblem problem;
        const char* signerKey; // once the signature could be read
    };
    const Case cases[] = {
        {u"-second-entry.exe", SignatureProblem::SeveralEntries, ""},
        {u"-no-attributes.exe", SignatureProblem::NoAuthenticatedAttributes, "RSA"},
        {u"-ecdsa.exe", ecdsa, "ECDSA"},
        {u"-nested.exe", SignatureProblem::None, "RSA"},
    };
    for (const char16_t* kind : {u"pe32", u"pe32plus"}) {
        for (const Case& c : cases) {
            const std::u16string file = std::u16string(u"signed/tiny-") + kind + c.variant;
            const SignatureCheck signature = check(fileBytes(crossBuiltProgram(file.c_str())));
            EXPECT_EQ(signature.problem, c.problem) << label(file);
            EXPECT_EQ(signature.signerKey, c.signerKey) << label(file);
        }
        // Changed after signing: found where ECDSA can be verified, and
        // still not passed where it cannot.
        const std::u16string file = std::u16string(u"signed/tiny-") + kind + u"-ecdsa.exe";
        std::string changed = fileBytes(crossBuiltProgram(file.c_str()));
        changed[layoutOf(changed).data + 300000] ^= 0x01;
        EXPECT_EQ(check(changed).problem, systemVerifiesEcdsa() ? SignatureProblem::Mismatch : ecdsa) << label(file);
        changed = fileBytes(crossBuiltProgram(file.c_str()));
        changed[layoutOf(changed).signatureEnd - 8] ^= 0x01;
        EXPECT_EQ(check(changed).problem, systemVerifiesEcdsa() ? SignatureProblem::SignerNotVerified : ecdsa)
            << label(file) << ", a byte of the signer's signature value";
    }
}

// A signer's names read the same on every system, whatever its
// cryptography makes of them: escaped as one line, the usual types by short
// name, any other dotted, BMPString and IA5String values as their
// characters, and the attributes of one relative name in encoded order.
TEST_F(SignatureCheckTest, TheSignersNamesReadTheSameOnEverySystem)
{
    const std::string names = "emailAddress=signer@example.com, CN=Tessit \\\"quoted\\\"\\, signer\\ , "
                              "1.3.6.1.4.1.32473.1=beta, UID=42 + OU=Qualit\xC3\xA4t, O=\\#1 Eco3 test\\, Ltd., C=DE";
    for (const char16_t* kind : {u"pe32", u"pe32plus"}) {
        const std::u16string file = std::u16string(u"signed/tiny-") + kind + u"-escaped-signer.exe";
        const SignatureCheck signature = check(fileBytes(crossBuiltProgram(file.c_str())));
        EXPECT_EQ(signature.problem, SignatureProblem::None) << label(file);
        EXPECT_EQ(signature.signerSubject, names) << label(file);
        EXPECT_EQ(signature.signerIssuer, names) << label(file);
    }
}

// What cannot be checked is reported as such, never as a match.
TEST_F(SignatureCheckTest, ReportsWhatCannotBeChecked)
{
    const SignatureCheck md5 = check(fileBytes(crossBuiltProgram(u"signed/tiny-pe32plus-md5.exe")));
    EXPECT_EQ(md5.problem, SignatureProblem::UnknownAlgorithm);
    EXPECT_EQ(md5.algorithm, "1.2.840.113549.2.5");
    EXPECT_EQ(CheckSignature(nullptr, run->package).problem, SignatureProblem::NoCryptography);
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
