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
enum class DigestAlgorithm { Sha1, Sha256 };

// The file digest an Authenticode signature holds: the messageDigest of the
// SpcIndirectDataContent inside its PKCS #7 SignedData.
struct IndirectDataDigest {
    std::string algorithmOid; // dotted, as the signature names it
    std::vector<uint8_t> digest;
};

// One running hash.
class DigestHasher {
public:
    virtual ~DigestHasher() = default;
    virtual void add(const uint8_t* bytes, size_t count) = 0;
    virtual std::vector<uint8_t> finish() = 0;
};

// What checking a signature's digest needs of the system's cryptography;
// platform/ implements it for each system. Integrity only: no certificate,
// chain or store is looked at.
class SignatureCrypto {
public:
    virtual ~SignatureCrypto() = default;

    // The digest in the DER-encoded PKCS #7 SignedData `signedData`; nothing
    // when the bytes are not signed data whose content is Authenticode's
    // indirect data.
    virtual std::optional<IndirectDataDigest> indirectDataDigest(const uint8_t* signedData, size_t size) = 0;
    // A fresh hash; null when the system does not offer the algorithm.
    virtual std::unique_ptr<DigestHasher> startDigest(DigestAlgorithm algorithm) = 0;
};

} // namespace Tessit

#endif
