#include "package/SignatureCheck.h"

#include "package/LittleEndian.h"
#include "package/PackageFormat.h"
#include "package/PeImage.h"

#include <algorithm>

namespace Tessit {

namespace {

// WIN_CERTIFICATE: length, revision and type, then the signature itself;
// each entry starts on an 8-byte boundary.
constexpr uint32_t kCertificateHeaderBytes = 8;
constexpr uint64_t kEntryAlignment = 8;
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
    {"2.16.840.1.101.3.4.2.2", "SHA-384", DigestAlgorithm::Sha384},
    {"2.16.840.1.101.3.4.2.3", "SHA-512", DigestAlgorithm::Sha512},
};

uint64_t alignedToEntry(uint64_t offset) { return (offset + kEntryAlignment - 1) / kEntryAlignment * kEntryAlignment; }

// The size, tag and length included, of the DER SEQUENCE `bytes` start
// with; nothing when they do not start with one that fits in `available`.
std::optional<uint64_t> derSequenceSize(const uint8_t* bytes, uint64_t available)
{
    constexpr uint8_t kSequenceTag = 0x30;
    constexpr uint8_t kLongForm = 0x80;
    constexpr uint8_t kMostLengthBytes = 4;
    if (available < 2 || bytes[0] != kSequenceTag)
        return std::nullopt;
    uint64_t length = bytes[1];
    uint64_t header = 2;
    if (length & kLongForm) {
        const uint8_t lengthBytes = uint8_t(length & ~kLongForm);
        if (lengthBytes == 0 || lengthBytes > kMostLengthBytes || available < header + lengthBytes)
            return std::nullopt;
        length = 0;
        for (uint8_t index = 0; index < lengthBytes; ++index)
            length = length << 8 | bytes[header + index];
        header += lengthBytes;
    }
    if (length > available - header)
        return std::nullopt;
    return header + length;
}

class SignatureChecker {
public:
    SignatureChecker(SignatureCrypto& crypto, Package& package)
        : m_crypto(crypto), m_package(package), m_location(package.location())
    {
    }

    SignatureCheck run()
    {
        const std::optional<std::vector<uint8_t>> table = readTable();
        if (!table)
            return m_result;
        const std::optional<AuthenticodeSignature> signature = readSignatures(*table);
        if (!signature)
            return m_result;
        m_result.signerSubject = signature->signerSubject;
        m_result.signerIssuer = signature->signerIssuer;
        const KnownAlgorithm* known =
            std::find_if(std::begin(kAlgorithms), std::end(kAlgorithms),
                         [&](const KnownAlgorithm& algorithm) { return signature->fileDigestAlgorithm == algorithm.oid; });
        m_result.algorithm = known == std::end(kAlgorithms) ? signature->fileDigestAlgorithm : known->name;
        if (!signature->signerVerified)
            return fail(SignatureProblem::SignerNotVerified);
        if (known == std::end(kAlgorithms))
            return fail(SignatureProblem::UnknownAlgorithm);
        const std::unique_ptr<DigestHasher> hasher = m_crypto.startDigest(known->algorithm);
        if (!hasher)
            return fail(SignatureProblem::NoCryptography);
        if (!hashFile(*hasher))
            return m_result;
        if (hasher->finish() != signature->fileDigest)
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
    std::optional<std::vector<uint8_t>> readTable()
    {
        const uint32_t tableSize = m_location.certificateSize;
        if (uint64_t(m_location.certificateOffset) + tableSize != m_location.fileLength) {
            fail(SignatureProblem::TableNotAtEnd);
            return std::nullopt;
        }
        if (tableSize > kLargestCertificateTable || tableSize < kCertificateHeaderBytes ||
            m_location.certificateOffset % kEntryAlignment != 0) {
            fail(SignatureProblem::MalformedTable);
            return std::nullopt;
        }
        std::vector<uint8_t> table(tableSize);
        if (!m_package.readAt(m_location.certificateOffset, table.data(), tableSize)) {
            fail(SignatureProblem::Unreadable);
            return std::nullopt;
        }
        return table;
    }

    // Every entry, up to the table's end, must be a signature and nothing
    // more: its DER, then fewer than 8 zero bytes up to the next entry. Any
    // other byte would be covered by neither the digest nor a signature.
    // The first entry is the file's signature.
    std::optional<AuthenticodeSignature> readSignatures(const std::vector<uint8_t>& table)
    {
        std::optional<AuthenticodeSignature> first;
        uint64_t entry = 0;
        while (entry < table.size()) {
            const uint8_t* header = table.data() + entry;
            const uint64_t length = table.size() - entry < kCertificateHeaderBytes ? 0 : readLittleEndian32(header);
            const uint64_t next = entry + alignedToEntry(length);
            if (length < kCertificateHeaderBytes || next > table.size()) {
                fail(SignatureProblem::MalformedTable);
                return std::nullopt;
            }
            const uint8_t* signedData = header + kCertificateHeaderBytes;
            const std::optional<uint64_t> signedDataSize =
                derSequenceSize(signedData, length - kCertificateHeaderBytes);
            if (readLittleEndian16(header + 4) != kCertificateRevision ||
                readLittleEndian16(header + 6) != kPkcsSignedData || !signedDataSize) {
                fail(SignatureProblem::NoSignedData);
                return std::nullopt;
            }
            const uint64_t signedDataEnd = entry + kCertificateHeaderBytes + *signedDataSize;
            if (alignedToEntry(signedDataEnd) != next ||
                std::any_of(table.begin() + ptrdiff_t(signedDataEnd), table.begin() + ptrdiff_t(next),
                            [](uint8_t padding) { return padding != 0; })) {
                fail(SignatureProblem::MalformedTable);
                return std::nullopt;
            }
            std::optional<AuthenticodeSignature> signature =
                m_crypto.readSignature(signedData, size_t(*signedDataSize));
            if (!signature) {
                fail(SignatureProblem::NoSignedData);
                return std::nullopt;
            }
            if (!first)
                first = std::move(signature);
            entry = next;
        }
        return first;
    }

    // One pass from the start in copy-buffer blocks; the first block holds
    // the headers that say which bytes count.
    bool hashFile(DigestHasher& hasher)
    {
        std::vector<uint8_t> block(COPY_CHUNK_SIZE);
        uint32_t blockSize = uint32_t(std::min<uint64_t>(COPY_CHUNK_SIZE, m_location.fileLength));
        if (!m_package.readAt(0, block.data(), blockSize)) {
            fail(SignatureProblem::Unreadable);
            return false;
        }
        const std::optional<std::vector<FileRange>> ranges =
            authenticodeRanges(block.data(), blockSize, m_location.fileLength, m_location.certificateSize);
        if (!ranges) {
            fail(SignatureProblem::UnsupportedLayout);
            return false;
        }
        const uint64_t hashEnd = ranges->back().end;
        uint64_t blockStart = 0;
        auto range = ranges->begin();
        for (;;) {
            const uint64_t blockEnd = blockStart + blockSize;
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
            blockSize = uint32_t(std::min<uint64_t>(COPY_CHUNK_SIZE, hashEnd - blockStart));
            if (!m_package.readAt(blockStart, block.data(), blockSize)) {
                fail(SignatureProblem::Unreadable);
                return false;
            }
        }
    }

    SignatureCrypto& m_crypto;
    Package& m_package;
    const PackageLocation& m_location;
    SignatureCheck m_result;
};

} // namespace

SignatureCheck CheckSignature(SignatureCrypto* crypto, Package& package)
{
    if (!crypto) {
        SignatureCheck check;
        check.problem = SignatureProblem::NoCryptography;
        return check;
    }
    return SignatureChecker(*crypto, package).run();
}

} // namespace Tessit
