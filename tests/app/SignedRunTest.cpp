#include "CrossBuiltPrograms.h"
#include "PackageFixture.h"
#include "RunSequenceFixture.h"
#include "SystemCryptography.h"

#include "KxFoundation/KxPath.h"
#include "texts/LauncherTexts.h"
#include "package/SignatureCheck.h"
#include "platform/NativeSignatureCrypto.h"

#include <algorithm>
#include <set>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace Tessit;
using Kavo::KxString;
namespace fs = std::filesystem;

namespace {

// Stand-in launchers with a package (QIRA_t.exe and docs\data.bin), signed
// at build time; beside the test program.
std::string signedPackage(const char16_t* name)
{
    KxString folder = Kavo::modulePath();
    Kavo::removeLastPathComponent(folder);
    std::ifstream stream(fs::path(std::u16string(folder.c_str())) / u"signed" / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// The last byte of the package's data: 8 bytes of footer and the signer's
// zero padding lie between it and the certificate table.
size_t lastDataByte(const std::string& file)
{
    size_t at = file.find("the data of a signed package");
    for (size_t next = at; next != std::string::npos; next = file.find("package", next + 1))
        at = next;
    return at;
}

class SignedRunTest : public RunSequenceTest {
protected:
    SignedRunTest() { platform.crypto = crypto.get(); }

    void SetUp() override
    {
        if (!signedPackagesBuilt)
            GTEST_SKIP() << signedPackagesSkipped;
    }

    void install(const std::string& bytes) { downloads.writeFile(u"Setup.exe", bytes); }

    std::vector<KxString> boxesAndStarts() const
    {
        return eventsStartingWith({u"messageBox: ", u"runHiddenAndWait: ", u"shellOpen: "});
    }

    KxString refusal() const { return KxString(u"messageBox: Tessit: error: [4]Can not verify ") + platform.packagePath + u" file!!!"; }

    // The trace lines after the package was located: why the signature was
    // refused, the package file closed, and no later stage.
    std::vector<KxString> tracesOfRefusal(SignatureProblem problem) const
    {
        const KxString reason(SignatureProblemText(problem));
        KxString refused;
        refused.format(kTraceSignatureRefused, &reason);
        return {refused, kTracePackageClosed, kTraceWindowClosed};
    }

    std::vector<KxString> tracesAfterLocating() const
    {
        const auto located = std::find(platform.debugLines.begin(), platform.debugLines.end(),
                                       KxString(kTraceLocatingPackage));
        if (located == platform.debugLines.end())
            return {u"(the package was never located)"};
        return std::vector<KxString>(located + 1, platform.debugLines.end());
    }

    std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
};

} // namespace

// Removing the signature leaves the signer's zero padding behind the
// footer: the launcher is unsigned again and runs as one.
TEST_F(SignedRunTest, ASignedPackageRunsWhateverItsDigestAlgorithmOrWithItsSignatureRemoved)
{
    for (const char16_t* name : {u"tiny-pe32-sha1.exe", u"tiny-pe32plus-sha256.exe", u"tiny-pe32-sha384.exe",
                                 u"tiny-pe32plus-sha512.exe", u"tiny-pe32-resigned.exe",
                                 u"tiny-pe32-signature-removed.exe"}) {
        install(signedPackage(name));
        EXPECT_EQ(run({}), kExitMainToolStarted) << fs::path(name);
        EXPECT_EQ(temp.readFile(u"QIRA_t.exe"), "signed main tool\n") << fs::path(name);
        EXPECT_EQ(eventsStartingWith({u"messageBox: "}), std::vector<KxString>{}) << fs::path(name);
    }
}

// A package changed after signing, however the signature was made to fit
// again, writes nothing and starts nothing.
TEST_F(SignedRunTest, AChangedPackageIsRefusedBeforeAnythingIsWritten)
{
    std::string changedByte = signedPackage(u"tiny-pe32-sha256.exe");
    changedByte[lastDataByte(changedByte)] ^= 0x20;
    // Junk behind the signature, the security directory grown over it.
    std::string junkInTable = signedPackage(u"tiny-pe32plus-sha256.exe");
    const size_t securityEntry = securityEntryOffset(junkInTable) + 4;
    putLittleEndian(junkInTable, securityEntry, getLittleEndian(junkInTable, securityEntry) + 16);
    junkInTable += std::string(16, 'J');
    struct Change {
        const char* label;
        std::string bytes;
        SignatureProblem problem;
    };
    const Change changes[] = {
        {"a changed data byte", changedByte, SignatureProblem::Mismatch},
        {"the file digest in the signature forged to match", signedPackage(u"tiny-pe32-forged-digest.exe"),
         SignatureProblem::SignerNotVerified},
        {"the messageDigest forged as well", signedPackage(u"tiny-pe32plus-forged-attributes.exe"),
         SignatureProblem::SignerNotVerified},
        {"junk in the certificate table", junkInTable, SignatureProblem::MalformedTable},
        // A readable signature over another file, 8 KiB of its signer's
        // chosen bytes in it, that no signature of this file covers.
        {"a second certificate-table entry", signedPackage(u"tiny-pe32-second-entry.exe"),
         SignatureProblem::SeveralEntries},
        {"a signer without authenticated attributes", signedPackage(u"tiny-pe32plus-no-attributes.exe"),
         SignatureProblem::NoAuthenticatedAttributes},
    };
    for (const Change& change : changes) {
        platform.debugLines.clear();
        platform.events.clear();
        install(change.bytes);

        EXPECT_EQ(run({}), kExitRunIncomplete) << change.label;
        EXPECT_EQ(boxesAndStarts(), std::vector<KxString>{refusal()}) << change.label;
        EXPECT_TRUE(fs::is_empty(temp.path())) << change.label;
        EXPECT_EQ(tracesAfterLocating(), tracesOfRefusal(change.problem))
            << change.label
            << ": the trace says why, the package file is closed, and no later stage leaves a trace line";
    }
}

// The one read of the file finds a changed last byte only after every entry
// was written to its part: then no part takes its target's place, the parts
// and the folders made for them go, and what an earlier run left stays.
TEST_F(SignedRunTest, AVerdictAfterTheLastEntryLeavesEveryTargetAsItWas)
{
    std::string changedByte = signedPackage(u"tiny-pe32plus-sha512.exe");
    changedByte[lastDataByte(changedByte)] ^= 0x20;
    temp.writeFile(u"QIRA_t.exe", "an earlier run's");
    install(changedByte);

    EXPECT_EQ(run({}), kExitRunIncomplete);

    EXPECT_EQ(boxesAndStarts(), std::vector<KxString>{refusal()});
    EXPECT_EQ(Kavo::namesIn(temp.path()), std::set<std::u16string>{u"QIRA_t.exe"});
    EXPECT_EQ(temp.readFile(u"QIRA_t.exe"), "an earlier run's");
    EXPECT_EQ(tracesAfterLocating(), tracesOfRefusal(SignatureProblem::Mismatch));
}

// An ECDSA signature runs where the system verifies ECDSA. Where it cannot,
// the run is refused with the same box, and the trace tells that the
// signature could not be checked there, not that the file changed.
TEST_F(SignedRunTest, AnEcdsaSignedPackageRunsWhereTheSystemCanCheckIt)
{
    install(signedPackage(u"tiny-pe32plus-ecdsa.exe"));

    if (systemVerifiesEcdsa()) {
        EXPECT_EQ(run({}), kExitMainToolStarted);
        EXPECT_EQ(temp.readFile(u"QIRA_t.exe"), "signed main tool\n");
        EXPECT_EQ(eventsStartingWith({u"messageBox: "}), std::vector<KxString>{});
    } else {
        EXPECT_EQ(run({}), kExitRunIncomplete);
        EXPECT_EQ(boxesAndStarts(), std::vector<KxString>{refusal()});
        EXPECT_TRUE(fs::is_empty(temp.path()));
        EXPECT_EQ(tracesAfterLocating(), tracesOfRefusal(SignatureProblem::SignerNotCheckable));
    }
}

// Where the system offers no way to check a signature, a signed package is
// not run unchecked.
TEST_F(SignedRunTest, ASignedPackageIsRefusedWhereNothingCanCheckIt)
{
    platform.crypto = nullptr;
    install(signedPackage(u"tiny-pe32-sha256.exe"));

    EXPECT_EQ(run({}), kExitRunIncomplete);
    EXPECT_EQ(boxesAndStarts(), std::vector<KxString>{refusal()});
    EXPECT_TRUE(fs::is_empty(temp.path()));
    EXPECT_EQ(tracesAfterLocating(), tracesOfRefusal(SignatureProblem::NoCryptography));
}
