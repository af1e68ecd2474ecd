#include "platform/NativeSignatureCrypto.h"

#include <openssl/asn1.h>
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

class OpenSslSignatureCrypto : public SignatureCrypto {
public:
    // SignedData { ..., contentInfo { 1.3.6.1.4.1.311.2.1.4,
    //   SpcIndirectDataContent { data, messageDigest DigestInfo } }, ... }
    std::optional<IndirectDataDigest> indirectDataDigest(const uint8_t* signedData, size_t size) override
    {
        if (size > size_t(LONG_MAX))
            return std::nullopt;
        // Signers pad the signature to 8 bytes; the padding is not part of it.
        const unsigned char* cursor = signedData;
        const Pkcs7 message(d2i_PKCS7(nullptr, &cursor, long(size)));
        if (!message || !PKCS7_type_is_signed(message.get()) || !message->d.sign || !message->d.sign->contents)
            return std::nullopt;
        const PKCS7* content = message->d.sign->contents;
        if (dottedOid(content->type) != kIndirectDataOid || !content->d.other ||
            content->d.other->type != V_ASN1_SEQUENCE)
            return std::nullopt;
        const ASN1_STRING* encoded = content->d.other->value.sequence;
        const Sequence fields = decodeWhole(encoded->data, encoded->length, [](const unsigned char** cursor, long length) {
            return Sequence(d2i_ASN1_SEQUENCE_ANY(nullptr, cursor, length));
        });
        if (!fields || sk_ASN1_TYPE_num(fields.get()) != 2)
            return std::nullopt;
        const ASN1_TYPE* digestField = sk_ASN1_TYPE_value(fields.get(), 1);
        if (digestField->type != V_ASN1_SEQUENCE)
            return std::nullopt;
        const ASN1_STRING* digestInfoBytes = digestField->value.sequence;
        const DigestInfo digestInfo =
            decodeWhole(digestInfoBytes->data, digestInfoBytes->length, [](const unsigned char** cursor, long length) {
                return DigestInfo(d2i_X509_SIG(nullptr, cursor, length));
            });
        if (!digestInfo)
            return std::nullopt;
        const X509_ALGOR* algorithm = nullptr;
        const ASN1_OCTET_STRING* digest = nullptr;
        X509_SIG_get0(digestInfo.get(), &algorithm, &digest);
        const ASN1_OBJECT* algorithmOid = nullptr;
        X509_ALGOR_get0(&algorithmOid, nullptr, nullptr, algorithm);
        IndirectDataDigest result{dottedOid(algorithmOid), {}};
        result.digest.assign(ASN1_STRING_get0_data(digest), ASN1_STRING_get0_data(digest) + ASN1_STRING_length(digest));
        return result;
    }

    std::unique_ptr<DigestHasher> startDigest(DigestAlgorithm algorithm) override
    {
        DigestContext context(EVP_MD_CTX_new());
        const EVP_MD* type = algorithm == DigestAlgorithm::Sha256 ? EVP_sha256() : EVP_sha1();
        if (!context || EVP_DigestInit_ex(context.get(), type, nullptr) != 1)
            return nullptr;
        return std::make_unique<OpenSslHasher>(std::move(context));
    }
};

} // namespace

std::unique_ptr<SignatureCrypto> createNativeSignatureCrypto() { return std::make_unique<OpenSslSignatureCrypto>(); }

} // namespace Tessit
