#include "CrossBuiltPrograms.h"
#include "PackageTestSupport.h"

#include "package/BlockVerification.h"
#include "package/SignatureCheck.h"
#include "package/VerificationThread.h"
#include "platform/NativeSignatureCrypto.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace Tessit;

namespace {

using Feed = std::function<std::unique_ptr<BlockVerification>(SignatureVerification&)>;

struct Way {
    const char* name;
    Feed start;
};

const Way kWays[] = {
    {"inline", [](SignatureVerification& v) { return std::make_unique<InlineVerification>(v); }},
    {"own thread", [](SignatureVerification& v) { return std::make_unique<VerificationThread>(v); }},
};

// Reads the whole signed file in blocks of an odd size, far more of them
// than a ring holds, as a reader hands them over.
SignatureCheck verifyInBlocks(SignatureCrypto& crypto, Package& package, const Feed& start)
{
    constexpr uint32_t kBlockBytes = 4099;
    SignatureVerification verification(&crypto, package);
    if (!verification.hashing())
        return verification.finish();
    const std::unique_ptr<BlockVerification> blocks = start(verification);
    for (uint64_t offset = 0; offset < verification.end(); offset += kBlockBytes) {
        const uint32_t count = uint32_t(std::min<uint64_t>(kBlockBytes, verification.end() - offset));
        uint8_t* block = blocks->nextBlock();
        if (!package.readAt(offset, block, count))
            break;
        blocks->handOver(offset, count);
    }
    return blocks->finish();
}

} // namespace

// Either way of feeding the digest gives every block to it once, in order,
// untouched: the signature holds, and a changed byte in the middle of the
// data is found.
TEST(BlockVerification, EachWayTakesEveryBlockOnceInOrder)
{
    if (!signedPackagesBuilt)
        GTEST_SKIP() << signedPackagesSkipped;
    const std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
    const std::string signedFile = fileBytes(crossBuiltProgram(u"signed/tiny-pe32-sha256.exe"));
    std::string changed = signedFile;
    changed[changed.size() / 2] ^= 0x01;
    for (const Way& way : kWays) {
        for (int round = 0; round < 3; ++round) {
            PackageRun good;
            ASSERT_EQ(good.open(signedFile).outcome, OpenOutcome::Opened);
            EXPECT_EQ(verifyInBlocks(*crypto, good.package, way.start).problem, SignatureProblem::None) << way.name;
            PackageRun bad;
            ASSERT_EQ(bad.open(changed).outcome, OpenOutcome::Opened);
            EXPECT_EQ(verifyInBlocks(*crypto, bad.package, way.start).problem, SignatureProblem::Mismatch)
                << way.name;
        }
    }
}
