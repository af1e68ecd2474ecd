#include "platform/NativeSignatureCrypto.h"

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>

namespace Tessit {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct MessageCloser {
    void operator()(void* message) const { CryptMsgClose(message); }
};
using Message = std::unique_ptr<void, MessageCloser>;

struct LocalFreer {
    void operator()(void* block) const { LocalFree(block); }
};

// A message parameter of any length.
std::optional<std::vector<uint8_t>> messageParameter(HCRYPTMSG message, DWORD parameter)
{
    DWORD length = 0;
    if (!CryptMsgGetParam(message, parameter, 0, nullptr, &length))
        return std::nullopt;
    std::vector<uint8_t> value(length);
    if (!CryptMsgGetParam(message, parameter, 0, value.data(), &length))
        return std::nullopt;
    value.resize(length);
    return value;
}

class CngHasher : public DigestHasher {
public:
    CngHasher(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE hash) : m_algorithm(algorithm), m_hash(hash) {}
    CngHasher(const CngHasher&) = delete;
    CngHasher& operator=(const CngHasher&) = delete;
    ~CngHasher() override
    {
        BCryptDestroyHash(m_hash);
        BCryptCloseAlgorithmProvider(m_algorithm, 0);
    }

    void add(const uint8_t* bytes, size_t count) override
    {
        BCryptHashData(m_hash, const_cast<PUCHAR>(bytes), ULONG(count), 0);
    }

    std::vector<uint8_t> finish() override
    {
        DWORD length = 0;
        ULONG written = 0;
        if (!BCRYPT_SUCCESS(BCryptGetProperty(m_hash, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length),
                                              sizeof length, &written, 0)))
            return {};
        std::vector<uint8_t> digest(length);
        if (!BCRYPT_SUCCESS(BCryptFinishHash(m_hash, digest.data(), length, 0)))
            return {};
        return digest;
    }

private:
    BCRYPT_ALG_HANDLE m_algorithm;
    BCRYPT_HASH_HANDLE m_hash;
};

class Win32SignatureCrypto : public SignatureCrypto {
public:
    std::optional<IndirectDataDigest> indirectDataDigest(const uint8_t* signedData, size_t size) override
    {
        if (size > MAXDWORD)
            return std::nullopt;
        const Message message(CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
        if (!message || !CryptMsgUpdate(message.get(), signedData, DWORD(size), TRUE))
            return std::nullopt;
        DWORD type = 0;
        DWORD typeLength = sizeof type;
        if (!CryptMsgGetParam(message.get(), CMSG_TYPE_PARAM, 0, &type, &typeLength) || type != CMSG_SIGNED)
            return std::nullopt;
        const std::optional<std::vector<uint8_t>> contentType =
            messageParameter(message.get(), CMSG_INNER_CONTENT_TYPE_PARAM);
        if (!contentType || contentType->empty() || contentType->back() != 0 ||
            std::strcmp(reinterpret_cast<const char*>(contentType->data()), SPC_INDIRECT_DATA_OBJID) != 0)
            return std::nullopt;
        const std::optional<std::vector<uint8_t>> content = messageParameter(message.get(), CMSG_CONTENT_PARAM);
        if (!content)
            return std::nullopt;
        // Decoded by wintrust's decoder, which crypt32 loads from the system folder.
        SPC_INDIRECT_DATA_CONTENT* decoded = nullptr;
        DWORD decodedLength = 0;
        if (!CryptDecodeObjectEx(X509_ASN_ENCODING, SPC_INDIRECT_DATA_OBJID, content->data(), DWORD(content->size()),
                                 CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &decodedLength))
            return std::nullopt;
        const std::unique_ptr<void, LocalFreer> owned(decoded);
        if (!decoded->DigestAlgorithm.pszObjId)
            return std::nullopt;
        IndirectDataDigest result{decoded->DigestAlgorithm.pszObjId, {}};
        result.digest.assign(decoded->Digest.pbData, decoded->Digest.pbData + decoded->Digest.cbData);
        return result;
    }

    std::unique_ptr<DigestHasher> startDigest(DigestAlgorithm algorithm) override
    {
        BCRYPT_ALG_HANDLE provider = nullptr;
        const wchar_t* name = algorithm == DigestAlgorithm::Sha256 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_SHA1_ALGORITHM;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&provider, name, nullptr, 0)))
            return nullptr;
        BCRYPT_HASH_HANDLE hash = nullptr;
        if (!BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) {
            BCryptCloseAlgorithmProvider(provider, 0);
            return nullptr;
        }
        return std::make_unique<CngHasher>(provider, hash);
    }
};

} // namespace

std::unique_ptr<SignatureCrypto> createNativeSignatureCrypto() { return std::make_unique<Win32SignatureCrypto>(); }

} // namespace Tessit
