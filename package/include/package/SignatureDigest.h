#ifndef TESSIT_PACKAGE_SIGNATUREDIGEST_H
#define TESSIT_PACKAGE_SIGNATUREDIGEST_H

#include "package/Package.h"
#include "package/SignatureCrypto.h"

#include <string>

namespace Tessit {

// Why a signed file's digest does not vouch for it.
enum class SignatureProblem {
    None,
    NoCryptography,    // this system offers no way to check it
    TableNotAtEnd,     // bytes follow the certificate table
    NoSignedData,      // the table holds no Authenticode signature that can be read
    UnknownAlgorithm,  // a digest algorithm other than SHA-256 and SHA-1
    UnsupportedLayout, // the PE headers do not lay the file out as the digest needs
    Unreadable,        // the file could not be read to its end
    Mismatch,          // the file changed after it was signed
};

struct SignatureCheck {
    SignatureProblem problem = SignatureProblem::None;
    std::string algorithm; // "SHA-256", "SHA-1", or the dotted name the signature gives

    bool holds() const { return problem == SignatureProblem::None; }
};

// Compares the Authenticode digest of the signed file behind `packageFile`
// (headers, sections and package, leaving out the checksum, the security
// directory entry and the certificate table) with the digest its signature
// holds. Reads the table, then the file once from its start in blocks of
// the copy buffer's size; leaves `packageFile` at the data area, where
// OpenPackage left it. `crypto` may be null: nothing can then be checked.
SignatureCheck CheckSignatureDigest(SignatureCrypto* crypto, Kavo::KxFile& packageFile,
                                    const PackageLocation& location, const PackageHeader& header);

} // namespace Tessit

#endif
