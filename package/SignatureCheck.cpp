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

// The key algorithms named in what is shown of a signature.
struct KnownKey {
    const char* oid;
    const char* name;
};
constexpr KnownKey kKeys[] = {
    {"1.2.840.113549.1.1.1", "RSA"},
    {"1.2.840.10045.2.1", "ECDSA"},
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
        const std::optional<AuthenticodeSignature> signature = readSignature(*table);
        if (!signature)
            return m_result;
        m_result.signerSubject = signature->signerSubject;
        m_result.signerIssuer = signature->signerIssuer;
        const KnownKey* key =
            std::find_if(std::begin(kKeys), std::end(kKeys),
                         [&](const KnownKey& known) { return signature->signerKeyAlgorithm == known.oid; });
        m_result.signerKey = key == std::end(kKeys) ? signature->signerKeyAlgorithm : key->name;
        const KnownAlgorithm* known =
            std::find_if(std::begin(kAlgorithms), std::end(kAlgorithms),
                         [&](const KnownAlgorithm& algorithm) { return signature->fileDigestAlgorithm == algorithm.oid; });
        m_result.algorithm = known == std::end(kAlgorithms) ? signature->fileDigestAlgorithm : known->name;
        // Without authenticated attributes the signer signs the indirect
        // data alone; Authenticode signers always sign attributes, and
        // Windows accepts no signature without them.
        if (!signature->authenticatedAttributes)
            return fail(SignatureProblem::NoAuthenticatedAttributes);
        if (signature->signer == SignerVerdict::NotCheckable)
            return fail(SignatureProblem::SignerNotCheckable);
        if (signature->signer != SignerVerdict::Verified)
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

    // The table must be one entry, a signature and nothing more: its DER,
    // then fewer than 8 zero bytes up to the table's end. Any other byte
    // would be covered by neither the digest nor the signature, and a
    // second entry, though a signature, signs some other file: signers
    // write one entry, and a nested signature lives inside it. Each entry's
    // form is checked, then the first one is read as the file's signature.
    std::optional<AuthenticodeSignature> readSignature(const std::vector<uint8_t>& table)
    {
        uint64_t firstSize = 0;
        uint64_t entries = 0;
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
            if (entries++ == 0)
                firstSize = *signedDataSize;
            entry = next;
        }
        if (entries > 1) {
            fail(SignatureProblem::SeveralEntries);
            return std::nullopt;
        }
        std::optional<AuthenticodeSignature> signature =
            m_crypto.readSignature(table.data() + kCertificateHeaderBytes, size_t(firstSize));
        if (!signature)
            fail(SignatureProblem::NoSignedData);
        return signature;
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

const char16_t* SignatureProblemText(SignatureProblem problem)
{
    switch (problem) {
    case SignatureProblem::None: return u"signature holds";
    case SignatureProblem::NoCryptography: return u"no cryptography to check the signature";
    case SignatureProblem::TableNotAtEnd: return u"the certificate table does not end the file";
    case SignatureProblem::MalformedTable: return u"the certificate table is not whole, aligned entries";
    case SignatureProblem::NoSignedData: return u"the certificate table holds no signature that can be read";
    case SignatureProblem::SeveralEntries: return u"the certificate table holds more than one entry";
    case SignatureProblem::UnknownAlgorithm: return u"the file digest algorithm is not accepted";
    case SignatureProblem::NoAuthenticatedAttributes: return u"the signer signed no authenticated attributes";
    case SignatureProblem::SignerNotCheckable:
        return u"the signature cannot be checked here: the system cannot verify the signer's key or algorithm";
    case SignatureProblem::SignerNotVerified: return u"the signer's signature does not verify: changed after signing";
    case SignatureProblem::UnsupportedLayout: return u"the PE headers do not lay out the file for the digest";
    case SignatureProblem::Unreadable: return u"the file could not be read to its end";
    case SignatureProblem::Mismatch: return u"the file digest does not match: changed after signing";
    }
    return u"the signature does not hold";
}

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
