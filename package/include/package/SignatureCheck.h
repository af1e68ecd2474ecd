#ifndef TESSIT_PACKAGE_SIGNATURECHECK_H
#define TESSIT_PACKAGE_SIGNATURECHECK_H

#include "package/Package.h"
#include "package/PeImage.h"
#include "package/SignatureCrypto.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Tessit {

// Why a signed file's signature does not vouch for it.
enum class SignatureProblem {
    None,
    NoCryptography,            // this system offers no way to check it
    TableNotAtEnd,             // bytes follow the certificate table
    MalformedTable,            // the table is not a sequence of whole, 8-byte aligned entries
    NoSignedData,              // an entry holds no Authenticode signature that can be read
    SeveralEntries,            // the table holds more than the one entry signers write
    UnknownAlgorithm,          // a file digest algorithm other than SHA-1, SHA-256, SHA-384 and SHA-512
    NoAuthenticatedAttributes, // the signer signed no authenticated attributes, as Authenticode requires
    SignerNotCheckable,        // this system cannot verify the signer's key or signature algorithm
    SignerNotVerified,         // the signer's signature does not hold: what it signed was changed
    UnsupportedLayout,         // the PE headers do not lay the file out as the digest needs
    Unreadable,                // the file could not be read to its end
    Mismatch,                  // the file changed after it was signed
};

struct SignatureCheck {
    SignatureProblem problem = SignatureProblem::None;
    std::string algorithm;     // "SHA-256", "SHA-1", ..., or the dotted name the signature gives
    std::string signerSubject; // the signer's certificate, once its signature could be read (distinguishedNameText)
    std::string signerIssuer;
    std::string signerKey;     // "RSA", "ECDSA", or the dotted name of the signer's key algorithm

    bool holds() const { return problem == SignatureProblem::None; }
};

// The Authenticode signature of the signed file `package` was opened from,
// checked while the file is read once, in file order, by whoever reads it
// (the extraction, or CheckSignature): its certificate table must be one
// whole WIN_CERTIFICATE entry, a readable signature, up to the end of the
// file (a nested signature lives inside it); its signer must have signed
// authenticated attributes, with the certificate it carries; and the file
// digest it signed must be the file's (headers, sections and package,
// leaving out the checksum, the security directory entry and the
// certificate table). No chain of trust is asked for. `crypto` may be null:
// nothing can then be checked.
class SignatureVerification {
public:
    // Reads the certificate table and checks the signer's signature.
    SignatureVerification(SignatureCrypto* crypto, Package& package);
    SignatureVerification(const SignatureVerification&) = delete;
    SignatureVerification& operator=(const SignatureVerification&) = delete;
    ~SignatureVerification();

    // Whether the file's bytes are still wanted: false once the check failed.
    bool hashing() const { return m_hasher != nullptr; }
    // Where the bytes it wants end: the certificate table's start.
    uint64_t end() const { return m_hashEnd; }
    // The file's `count` bytes at `offset`, which must follow those given
    // before, from the file's first byte on.
    void add(uint64_t offset, const uint8_t* bytes, uint32_t count);
    // The verdict, once every byte before the certificate table was given.
    SignatureCheck finish();

private:
    void fail(SignatureProblem problem);

    SignatureCheck m_result;
    std::unique_ptr<DigestHasher> m_hasher;
    std::vector<uint8_t> m_signedDigest;
    uint64_t m_hashEnd = 0;
    uint64_t m_fileLength = 0;
    uint32_t m_certificateSize = 0;
    uint64_t m_given = 0;
    std::optional<std::vector<FileRange>> m_ranges;
    size_t m_nextRange = 0;
};

// The whole check in one: the table, the signer, then the file read once
// from its start in blocks of the copy buffer's size.
SignatureCheck CheckSignature(SignatureCrypto* crypto, Package& package);

// Why a signature is refused, in a few words for the launcher's trace.
const char16_t* SignatureProblemText(SignatureProblem problem);

} // namespace Tessit

#endif
