#ifndef TESSIT_PACKAGE_SIGNATURECHECK_H
#define TESSIT_PACKAGE_SIGNATURECHECK_H

#include "package/Package.h"
#include "package/SignatureCrypto.h"

#include <string>

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
    std::string signerSubject; // the signer's certificate, once its signature could be read
    std::string signerIssuer;
    std::string signerKey;     // "RSA", "ECDSA", or the dotted name of the signer's key algorithm

    bool holds() const { return problem == SignatureProblem::None; }
};

// Checks the Authenticode signature of the signed file `package` was
// opened from: its certificate table must be one whole WIN_CERTIFICATE
// entry, a readable signature, up to the end of the file (a nested
// signature lives inside it); its signer must have signed authenticated
// attributes, with the certificate it carries; and the file
// digest it signed must be the file's (headers, sections and package,
// leaving out the checksum, the security directory entry and the
// certificate table). No chain of trust is asked for. Reads the table, then
// the file once from its start in blocks of the copy buffer's size.
// `crypto` may be null: nothing can then be checked.
SignatureCheck CheckSignature(SignatureCrypto* crypto, Package& package);

// Why a signature is refused, in a few words for the launcher's trace.
const char16_t* SignatureProblemText(SignatureProblem problem);

} // namespace Tessit

#endif
