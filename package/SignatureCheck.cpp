#include "package/SignatureCheck.h"

#include "package/DistinguishedName.h"
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

// What keeps the signer's signature from vouching for the file digest it
// holds. Without authenticated attributes the signer signs the indirect data
// alone; Authenticode signers always sign attributes, and Windows accepts
// no signature without them.
SignatureProblem signerProblem(const AuthenticodeSignature& signature, bool knownAlgorithm)
{
    if (!signature.authenticatedAttributes)
        return SignatureProblem::NoAuthenticatedAttributes;
    if (signature.signer == SignerVerdict::NotCheckable)
        return SignatureProblem::SignerNotCheckable;
    if (signature.signer != SignerVerdict::Verified)
        return SignatureProblem::SignerNotVerified;
    if (!knownAlgorithm)
        return SignatureProblem::UnknownAlgorithm;
    return SignatureProblem::None;
}

// Reads the certificate table of `package` and the signature it holds;
// on failure `check` says why.
class SignatureReader {
public:
    SignatureReader(SignatureCrypto& crypto, Package& package, SignatureCheck& result)
        : m_crypto(crypto), m_package(package), m_location(package.location()), m_result(result)
    {
    }

    std::optional<AuthenticodeSignature> read()
    {
        const std::optional<std::vector<uint8_t>> table = readTable();
        return table ? readSignature(*table) : std::nullopt;
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

    SignatureCrypto& m_crypto;
    Package& m_package;
    const PackageLocation& m_location;
    SignatureCheck& m_result;
};

} // namespace

SignatureVerification::SignatureVerification(SignatureCrypto* crypto, Package& package)
    : m_hashEnd(package.location().certificateOffset)
{
    if (!crypto) {
        m_result.problem = SignatureProblem::NoCryptography;
        return;
    }
    const std::optional<AuthenticodeSignature> signature = SignatureReader(*crypto, package, m_result).read();
    if (!signature)
        return;
    m_result.signerSubject = distinguishedNameText(signature->signerSubject);
    m_result.signerIssuer = distinguishedNameText(signature->signerIssuer);
    const KnownKey* key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                       [&](const KnownKey& known) { return signature->signerKeyAlgorithm == known.oid; });
    m_result.signerKey = key == std::end(kKeys) ? signature->signerKeyAlgorithm : key->name;
    const KnownAlgorithm* known =
        std::find_if(std::begin(kAlgorithms), std::end(kAlgorithms),
                     [&](const KnownAlgorithm& algorithm) { return signature->fileDigestAlgorithm == algorithm.oid; });
    m_result.algorithm = known == std::end(kAlgorithms) ? signature->fileDigestAlgorithm : known->name;
    m_result.problem = signerProblem(*signature, known != std::end(kAlgorithms));
    if (!m_result.holds())
        return;
    m_hasher = crypto->startDigest(known->algorithm);
    if (!m_hasher) {
        fail(SignatureProblem::NoCryptography);
        return;
    }
    m_signedDigest = signature->fileDigest;
    m_fileLength = package.location().fileLength;
    m_certificateSize = package.location().certificateSize;
}

SignatureVerification::~SignatureVerification() = default;

void SignatureVerification::fail(SignatureProblem problem)
{
    m_result.problem = problem;
    m_hasher.reset();
}

// The first bytes, which the reader gives first, hold the headers that say
// which bytes count: the ranges come from them, and every later block is
// taken where it meets them.
void SignatureVerification::add(uint64_t offset, const uint8_t* bytes, uint32_t count)
{
    if (!hashing())
        return;
    if (offset != m_given) {
        fail(SignatureProblem::Unreadable);
        return;
    }
    m_given += count;
    if (!m_ranges) {
        m_ranges = authenticodeRanges(bytes, count, m_fileLength, m_certificateSize);
        if (!m_ranges) {
            fail(SignatureProblem::UnsupportedLayout);
            return;
        }
        m_nextRange = 0;
    }
    const uint64_t end = offset + count;
    for (; m_nextRange < m_ranges->size() && (*m_ranges)[m_nextRange].begin < end; ++m_nextRange) {
        const FileRange& range = (*m_ranges)[m_nextRange];
        const uint64_t from = std::max(range.begin, offset);
        const uint64_t to = std::min(range.end, end);
        m_hasher->add(bytes + (from - offset), size_t(to - from));
        if (range.end > end)
            break;
    }
}

SignatureCheck SignatureVerification::finish()
{
    if (hashing() && m_given < m_hashEnd)
        fail(SignatureProblem::Unreadable);
    if (hashing() && m_hasher->finish() != m_signedDigest)
        fail(SignatureProblem::Mismatch);
    m_hasher.reset();
    return m_result;
}

SignatureCheck CheckSignature(SignatureCrypto* crypto, Package& package)
{
    SignatureVerification verification(crypto, package);
    std::vector<uint8_t> block(COPY_CHUNK_SIZE);
    for (uint64_t offset = 0; verification.hashing() && offset < verification.end();) {
        const uint32_t count = uint32_t(std::min<uint64_t>(COPY_CHUNK_SIZE, verification.end() - offset));
        if (!package.readAt(offset, block.data(), count))
            break;
        verification.add(offset, block.data(), count);
        offset += count;
    }
    return verification.finish();
}

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


} // namespace Tessit
