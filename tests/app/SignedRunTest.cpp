#include "CrossBuiltPrograms.h"
#include "PackageFixture.h"
#include "RunSequenceFixture.h"

#include "KxFoundation/KxPath.h"
#include "texts/LauncherTexts.h"
#include "platform/NativeSignatureCrypto.h"

#include <algorithm>
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
    const std::pair<const char*, std::string> changes[] = {
        {"a changed data byte", changedByte},
        {"the file digest in the signature forged to match", signedPackage(u"tiny-pe32-forged-digest.exe")},
        {"the messageDigest forged as well", signedPackage(u"tiny-pe32plus-forged-attributes.exe")},
        {"junk in the certificate table", junkInTable},
    };
    for (const auto& [label, bytes] : changes) {
        platform.debugLines.clear();
        platform.events.clear();
        install(bytes);

        EXPECT_EQ(run({}), kExitRunIncomplete) << label;
        EXPECT_EQ(boxesAndStarts(), std::vector<KxString>{refusal()}) << label;
        EXPECT_TRUE(fs::is_empty(temp.path())) << label;
        const auto opened = std::find(platform.debugLines.begin(), platform.debugLines.end(),
                                      KxString(kTraceLocatingPackage));
        ASSERT_NE(opened, platform.debugLines.end()) << label;
        EXPECT_EQ(std::vector<KxString>(opened + 1, platform.debugLines.end()),
                  (std::vector<KxString>{kTracePackageClosed, kTraceWindowClosed}))
            << label << ": the package file is closed, and no later stage leaves a trace line";
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
}
