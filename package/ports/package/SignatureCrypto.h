#ifndef TESSIT_PACKAGE_SIGNATURECRYPTO_H
#define TESSIT_PACKAGE_SIGNATURECRYPTO_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Tessit {

// The digest algorithms Authenticode signatures use.
enum class DigestAlgorithm { Sha1, Sha256, Sha384, Sha512 };

// Whether the signer of a signature said what it holds.
enum class SignerVerdict {
    // The signer's signature over the authenticated attributes verifies with
    // its certificate's public key, and their messageDigest is the digest of
    // the SpcIndirectDataContent: nothing the signer signed was changed.
    Verified,
    // It does not: what the signer signed was changed after signing.
    NotVerified,
    // This system cannot verify the signer's key or signature algorithm, so
    // whether it holds is not known here.
    NotCheckable,
};

// One attribute of a distinguished name: its type, dotted, and its value.
struct NameAttribute {
    std::string type;
    // The characters of a string value in UTF-8, as the certificate holds
    // them (no escaping); for a value of any other ASN.1 type, its DER
    // encoding.
    std::string value;
    bool isString = true;
};

// A distinguished name as its parts, in the order the certificate encodes
// them (most significant first): each relative name holds one attribute or
// more. distinguishedNameText (package/DistinguishedName.h) writes it out.
using DistinguishedName = std::vector<std::vector<NameAttribute>>;

// What one Authenticode signature (a DER-encoded PKCS #7 SignedData whose
// content is an SpcIndirectDataContent) says, and whether its signer said it.
struct AuthenticodeSignature {
    // The file digest the SpcIndirectDataContent holds, and its algorithm
    // (dotted, as the signature names it).
    std::string fileDigestAlgorithm;
    std::vector<uint8_t> fileDigest;
    // The distinguished names of the certificate the signature carries for
    // its one signer; empty when this system cannot read them.
    DistinguishedName signerSubject;
    DistinguishedName signerIssuer;
    // The dotted name of that certificate's public key algorithm.
    std::string signerKeyAlgorithm;
    // The signer signed authenticated attributes, as Authenticode signers
    // do; without them only the indirect data's digest is signed.
    bool authenticatedAttributes = false;
    SignerVerdict signer = SignerVerdict::NotVerified;
};

// One running hash.
class DigestHasher {
public:
    virtual ~DigestHasher() = default;
    virtual void add(const uint8_t* bytes, size_t count) = 0;
    virtual std::vector<uint8_t> finish() = 0;
};

// What checking a signature needs of the system's cryptography; platform/
// implements it for each system. No chain, store or network is consulted:
// whoever the certificate names, only whether it signed is checked.
class SignatureCrypto {
public:
    virtual ~SignatureCrypto() = default;

    // The signature in exactly the `size` bytes of `signedData`; nothing when
    // they are not one SignedData with Authenticode's indirect data as its
    // content, exactly one signer and that signer's certificate.
    virtual std::optional<AuthenticodeSignature> readSignature(const uint8_t* signedData, size_t size) = 0;
    // A fresh hash; null when the system does not offer the algorithm.
    virtual std::unique_ptr<DigestHasher> startDigest(DigestAlgorithm algorithm) = 0;
};

} // namespace Tessit

#endif
