#include "platform/NativeSignatureCrypto.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <climits>

namespace Tessit {

namespace {

constexpr const char* kIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";

template <typename Type, void (*Free)(Type*)>
struct Freeing {
    void operator()(Type* object) const { Free(object); }
};
using Pkcs7 = std::unique_ptr<PKCS7, Freeing<PKCS7, PKCS7_free>>;
using DigestInfo = std::unique_ptr<X509_SIG, Freeing<X509_SIG, X509_SIG_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Freeing<EVP_MD_CTX, EVP_MD_CTX_free>>;
using Bio = std::unique_ptr<BIO, Freeing<BIO, BIO_free_all>>;
using AnyType = std::unique_ptr<ASN1_TYPE, Freeing<ASN1_TYPE, ASN1_TYPE_free>>;

void freeSequence(STACK_OF(ASN1_TYPE)* sequence) { sk_ASN1_TYPE_pop_free(sequence, ASN1_TYPE_free); }
using Sequence = std::unique_ptr<STACK_OF(ASN1_TYPE), Freeing<STACK_OF(ASN1_TYPE), freeSequence>>;

std::string dottedOid(const ASN1_OBJECT* object)
{
    char text[128] = {};
    const int length = OBJ_obj2txt(text, sizeof text, object, 1);
    return length > 0 && size_t(length) < sizeof text ? std::string(text, size_t(length)) : std::string();
}

// DER that must be used up exactly by one decoding.
template <typename Decode>
auto decodeWhole(const uint8_t* bytes, long length, Decode decode)
{
    const unsigned char* cursor = bytes;
    auto decoded = decode(&cursor, length);
    if (decoded && cursor != bytes + length)
        decoded.reset();
    return decoded;
}

// The value of an attribute of a name: the characters of a string in UTF-8
// (OpenSSL reads the 8-bit string types as ISO 8859-1), or else its DER.
bool readValue(const ASN1_STRING* value, NameAttribute& attribute)
{
    unsigned char* bytes = nullptr;
    int length = 0;
    switch (ASN1_STRING_type(value)) {
    case V_ASN1_UTF8STRING:
        attribute.value.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                               size_t(ASN1_STRING_length(value)));
        return true;
    case V_ASN1_NUMERICSTRING:
    case V_ASN1_PRINTABLESTRING:
    case V_ASN1_T61STRING:
    case V_ASN1_IA5STRING:
    case V_ASN1_BMPSTRING:
    case V_ASN1_UNIVERSALSTRING:
        length = ASN1_STRING_to_UTF8(&bytes, value);
        break;
    default: {
        const AnyType any(ASN1_TYPE_new());
        if (!any || !ASN1_TYPE_set1(any.get(), ASN1_STRING_type(value), value))
            return false;
        length = i2d_ASN1_TYPE(any.get(), &bytes);
        attribute.isString = false;
    }
    }
    if (length < 0)
        return false;
    attribute.value.assign(reinterpret_cast<const char*>(bytes), size_t(length));
    OPENSSL_free(bytes);
    return true;
}

// A name's parts, in the order it encodes them; empty when a value cannot
// be read.
DistinguishedName nameParts(const X509_NAME* name)
{
    DistinguishedName parts;
    for (int index = 0; index < X509_NAME_entry_count(name); ++index) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, index);
        // The attributes of one relative name share its number.
        if (index == 0 || X509_NAME_ENTRY_set(entry) != X509_NAME_ENTRY_set(X509_NAME_get_entry(name, index - 1)))
            parts.emplace_back();
        NameAttribute& part = parts.back().emplace_back();
        if (!readValue(X509_NAME_ENTRY_get_data(entry), part))
            return {};
        part.type = dottedOid(X509_NAME_ENTRY_get_object(entry));
    }
    return parts;
}

// SpcIndirectDataContent { data, messageDigest DigestInfo }: the file digest.
bool readFileDigest(const ASN1_STRING& indirectData, AuthenticodeSignature& signature)
{
    const Sequence fields =
        decodeWhole(indirectData.data, indirectData.length, [](const unsigned char** cursor, long length) {
            return Sequence(d2i_ASN1_SEQUENCE_ANY(nullptr, cursor, length));
        });
    if (!fields || sk_ASN1_TYPE_num(fields.get()) != 2)
        return false;
    const ASN1_TYPE* digestField = sk_ASN1_TYPE_value(fields.get(), 1);
    if (digestField->type != V_ASN1_SEQUENCE)
        return false;
    const ASN1_STRING* digestInfoBytes = digestField->value.sequence;
    const DigestInfo digestInfo =
        decodeWhole(digestInfoBytes->data, digestInfoBytes->length, [](const unsigned char** cursor, long length) {
            return DigestInfo(d2i_X509_SIG(nullptr, cursor, length));
        });
    if (!digestInfo)
        return false;
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OCTET_STRING* digest = nullptr;
    X509_SIG_get0(digestInfo.get(), &algorithm, &digest);
    const ASN1_OBJECT* algorithmOid = nullptr;
    X509_ALGOR_get0(&algorithmOid, nullptr, nullptr, algorithm);
    signature.fileDigestAlgorithm = dottedOid(algorithmOid);
    const unsigned char* digestBytes = ASN1_STRING_get0_data(digest);
    signature.fileDigest.assign(digestBytes, digestBytes + ASN1_STRING_length(digest));
    return true;
}

// The signer signed the digest of the indirect data's contents octets (the
// SEQUENCE without its tag and length), as PKCS #7 defines for content that
// is not plain data. PKCS7_signatureVerify compares that digest with the
// messageDigest attribute, then checks the signature over the attributes.
// A digest or key this library does not know leaves the signature unchecked.
SignerVerdict signerVerdict(PKCS7* message, PKCS7_SIGNER_INFO* signer, X509* certificate,
                            const ASN1_STRING& indirectData)
{
    const unsigned char* contents = indirectData.data;
    long contentsLength = 0;
    int tag = 0;
    int objectClass = 0;
    if (ASN1_get_object(&contents, &contentsLength, &tag, &objectClass, indirectData.length) & 0x80 ||
        contents + contentsLength != indirectData.data + indirectData.length)
        return SignerVerdict::NotVerified;
    const EVP_MD* digest = EVP_get_digestbyobj(signer->digest_alg->algorithm);
    if (!digest || !X509_get0_pubkey(certificate))
        return SignerVerdict::NotCheckable;
    Bio hashing(BIO_new(BIO_f_md()));
    BIO* source = BIO_new_mem_buf(contents, int(contentsLength));
    if (!hashing || !source || !BIO_set_md(hashing.get(), digest)) {
        BIO_free(source);
        return SignerVerdict::NotVerified;
    }
    BIO_push(hashing.get(), source);
    unsigned char block[4096];
    while (BIO_read(hashing.get(), block, sizeof block) > 0) {
    }
    return PKCS7_signatureVerify(hashing.get(), message, signer, certificate) == 1 ? SignerVerdict::Verified
                                                                                    : SignerVerdict::NotVerified;
}

class OpenSslHasher : public DigestHasher {
public:
    explicit OpenSslHasher(DigestContext context) : m_context(std::move(context)) {}

    void add(const uint8_t* bytes, size_t count) override { EVP_DigestUpdate(m_context.get(), bytes, count); }

    std::vector<uint8_t> finish() override
    {
        std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context.get(), digest.data(), &length) != 1)
            return {};
        digest.resize(length);
        return digest;
    }

private:
    DigestContext m_context;
};

const EVP_MD* digestType(DigestAlgorithm algorithm)
{
    switch (algorithm) {
    case DigestAlgorithm::Sha1: return EVP_sha1();
    case DigestAlgorithm::Sha256: return EVP_sha256();
    case DigestAlgorithm::Sha384: return EVP_sha384();
    case DigestAlgorithm::Sha512: return EVP_sha512();
    }
    return nullptr;
}

class OpenSslSignatureCrypto : public SignatureCrypto {
public:
    // SignedData { ..., contentInfo { 1.3.6.1.4.1.311.2.1.4, SpcIndirectDataContent },
    //   certificates, signerInfos { one SignerInfo } }
    std::optional<AuthenticodeSignature> readSignature(const uint8_t* signedData, size_t size) override
    {
        if (size > size_t(LONG_MAX))
            return std::nullopt;
        const Pkcs7 message = decodeWhole(signedData, long(size), [](const unsigned char** cursor, long length) {
            return Pkcs7(d2i_PKCS7(nullptr, cursor, length));
        });
        if (!message || !PKCS7_type_is_signed(message.get()) || !message->d.sign || !message->d.sign->contents)
            return std::nullopt;
        const PKCS7* content = message->d.sign->contents;
        if (dottedOid(content->type) != kIndirectDataOid || !content->d.other ||
            content->d.other->type != V_ASN1_SEQUENCE)
            return std::nullopt;
        const ASN1_STRING& indirectData = *content->d.other->value.sequence;
        AuthenticodeSignature signature;
        if (!readFileDigest(indirectData, signature))
            return std::nullopt;
        STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(message.get());
        if (!signers || sk_PKCS7_SIGNER_INFO_num(signers) != 1)
            return std::nullopt;
        PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signers, 0);
        X509* certificate = X509_find_by_issuer_and_serial(message->d.sign->cert, signer->issuer_and_serial->issuer,
                                                           signer->issuer_and_serial->serial);
        if (!certificate)
            return std::nullopt;
        signature.signerSubject = nameParts(X509_get_subject_name(certificate));
        signature.signerIssuer = nameParts(X509_get_issuer_name(certificate));
        ASN1_OBJECT* keyOid = nullptr;
        if (X509_PUBKEY_get0_param(&keyOid, nullptr, nullptr, nullptr, X509_get_X509_PUBKEY(certificate)) == 1)
            signature.signerKeyAlgorithm = dottedOid(keyOid);
        signature.authenticatedAttributes = sk_X509_ATTRIBUTE_num(PKCS7_get_signed_attributes(signer)) > 0;
        signature.signer = signerVerdict(message.get(), signer, certificate, indirectData);
        return signature;
    }

    std::unique_ptr<DigestHasher> startDigest(DigestAlgorithm algorithm) override
    {
        DigestContext context(EVP_MD_CTX_new());
        if (!context || EVP_DigestInit_ex(context.get(), digestType(algorithm), nullptr) != 1)
            return nullptr;
        return std::make_unique<OpenSslHasher>(std::move(context));
    }
};

} // namespace

std::unique_ptr<SignatureCrypto> createNativeSignatureCrypto() { return std::make_unique<OpenSslSignatureCrypto>(); }

} // namespace Tessit
