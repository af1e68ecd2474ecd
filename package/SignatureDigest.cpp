#include "package/SignatureDigest.h"

#include "package/LittleEndian.h"
#include "package/PackageFormat.h"
#include "package/PeImage.h"

#include "KxFoundation/KxFile.h"

#include <algorithm>

namespace Tessit {

using Kavo::KxFile;
using Kavo::KxSeekOrigin;

namespace {

// WIN_CERTIFICATE: length, revision and type, then the signature itself.
constexpr uint32_t kCertificateHeaderBytes = 8;
constexpr uint16_t kCertificateRevision = 0x0200;
constexpr uint16_t kPkcsSignedData = 0x0002;
// A signature, nested ones and time stamps included, takes some kilobytes.
constexpr uint32_t kLargestCertificateTable = 16u << 20;

struct KnownAlgorithm {
    const char* oid;
    const char* name;
    DigestAlgorithm algorithm;
};
constexpr KnownAlgorithm kAlgorithms[] = {
    {"2.16.840.1.101.3.4.2.1", "SHA-256", DigestAlgorithm::Sha256},
    {"1.3.14.3.2.26", "SHA-1", DigestAlgorithm::Sha1},
};

bool readExactly(KxFile& file, uint8_t* buffer, uint32_t count) { return file.read(buffer, count) == int32_t(count); }

class DigestCheck {
public:
    DigestCheck(SignatureCrypto& crypto, KxFile& file, const PackageLocation& location)
        : m_crypto(crypto), m_file(file), m_location(location)
    {
    }

    SignatureCheck run()
    {
        const std::optional<IndirectDataDigest> signedDigest = readSignedDigest();
        if (!signedDigest)
            return m_result;
        m_result.algorithm = signedDigest->algorithmOid;
        const KnownAlgorithm* known =
            std::find_if(std::begin(kAlgorithms), std::end(kAlgorithms),
                         [&](const KnownAlgorithm& algorithm) { return signedDigest->algorithmOid == algorithm.oid; });
        if (known == std::end(kAlgorithms))
            return fail(SignatureProblem::UnknownAlgorithm);
        m_result.algorithm = known->name;
        const std::unique_ptr<DigestHasher> hasher = m_crypto.startDigest(known->algorithm);
        if (!hasher)
            return fail(SignatureProblem::NoCryptography);
        if (!hashFile(*hasher))
            return m_result;
        if (hasher->finish() != signedDigest->digest)
            return fail(SignatureProblem::Mismatch);
        return m_result;
    }

private:
    SignatureCheck& fail(SignatureProblem problem)
    {
        m_result.problem = problem;
        return m_result;
    }

    // The table must end the file: Authenticode hashes up to it, so bytes
    // after it would be covered by nothing.
    std::optional<IndirectDataDigest> readSignedDigest()
    {
        const uint32_t tableSize = m_location.certificateSize;
        if (uint64_t(m_location.certificateOffset) + tableSize != m_location.fileLength) {
            fail(SignatureProblem::TableNotAtEnd);
            return std::nullopt;
        }
        if (tableSize > kLargestCertificateTable || tableSize < kCertificateHeaderBytes) {
            fail(SignatureProblem::NoSignedData);
            return std::nullopt;
        }
        std::vector<uint8_t> table(tableSize);
        if (!m_file.seek(m_location.certificateOffset, KxSeekOrigin::Start) ||
            !readExactly(m_file, table.data(), tableSize)) {
            fail(SignatureProblem::Unreadable);
            return std::nullopt;
        }
        const uint32_t length = readLittleEndian32(table.data());
        std::optional<IndirectDataDigest> digest;
        if (length > kCertificateHeaderBytes && length <= tableSize &&
            readLittleEndian16(table.data() + 4) == kCertificateRevision &&
            readLittleEndian16(table.data() + 6) == kPkcsSignedData)
            digest = m_crypto.indirectDataDigest(table.data() + kCertificateHeaderBytes, length - kCertificateHeaderBytes);
        if (!digest)
            fail(SignatureProblem::NoSignedData);
        return digest;
    }

    // One pass from the start in copy-buffer blocks; the first block holds
    // the headers that say which bytes count.
    bool hashFile(DigestHasher& hasher)
    {
        std::vector<uint8_t> block(COPY_CHUNK_SIZE);
        if (!m_file.seek(0, KxSeekOrigin::Start)) {
            fail(SignatureProblem::Unreadable);
            return false;
        }
        int32_t delivered = m_file.read(block.data(), COPY_CHUNK_SIZE);
        if (delivered <= 0) {
            fail(SignatureProblem::Unreadable);
            return false;
        }
        const std::optional<std::vector<FileRange>> ranges =
            authenticodeRanges(block.data(), uint64_t(delivered), m_location.fileLength, m_location.certificateSize);
        if (!ranges) {
            fail(SignatureProblem::UnsupportedLayout);
            return false;
        }
        const uint64_t hashEnd = ranges->back().end;
        uint64_t blockStart = 0;
        auto range = ranges->begin();
        while (delivered > 0) {
            const uint64_t blockEnd = blockStart + uint64_t(delivered);
            for (; range != ranges->end() && range->begin < blockEnd; ++range) {
                const uint64_t from = std::max(range->begin, blockStart);
                const uint64_t to = std::min(range->end, blockEnd);
                hasher.add(block.data() + (from - blockStart), size_t(to - from));
                if (range->end > blockEnd)
                    break;
            }
            blockStart = blockEnd;
            if (blockStart >= hashEnd)
                return true;
            delivered = m_file.read(block.data(), uint32_t(std::min<uint64_t>(COPY_CHUNK_SIZE, hashEnd - blockStart)));
        }
        fail(SignatureProblem::Unreadable);
        return false;
    }

    SignatureCrypto& m_crypto;
    KxFile& m_file;
    const PackageLocation& m_location;
    SignatureCheck m_result;
};

} // namespace

SignatureCheck CheckSignatureDigest(SignatureCrypto* crypto, KxFile& packageFile, const PackageLocation& location,
                                    const PackageHeader& header)
{
    SignatureCheck check;
    if (!crypto)
        check.problem = SignatureProblem::NoCryptography;
    else
        check = DigestCheck(*crypto, packageFile, location).run();
    const int64_t dataArea = int64_t(location.headerOffset + headerBytes(header.count));
    if (!packageFile.seek(dataArea, KxSeekOrigin::Start) && check.holds())
        check.problem = SignatureProblem::Unreadable;
    return check;
}

} // namespace Tessit
