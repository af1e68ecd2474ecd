#include "platform/NativeSignatureCrypto.h"

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>

namespace Tessit {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// A DLL of the system folder, loaded from there only. Neither crypt32 nor
// bcrypt is a KnownDLL: imported, the loader would look for them in the
// program's own folder first (often a downloads folder), before the program
// could limit the search.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name) : m_module(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
    {
    }

    // `function` becomes the export `name`, typed as the header declares it;
    // false when the library or the export is missing.
    template <typename Function>
    bool resolve(Function& function, const char* name) const
    {
        function = m_module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, name)))
                            : nullptr;
        return function != nullptr;
    }

private:
    HMODULE m_module;
};

// The functions of crypt32 and bcrypt the check calls. Once loaded, both
// libraries stay for the rest of the process, as imported ones would.
struct SystemCrypto {
    decltype(&::CryptMsgOpenToDecode) msgOpenToDecode = nullptr;
    decltype(&::CryptMsgUpdate) msgUpdate = nullptr;
    decltype(&::CryptMsgGetParam) msgGetParam = nullptr;
    decltype(&::CryptMsgControl) msgControl = nullptr;
    decltype(&::CryptMsgClose) msgClose = nullptr;
    decltype(&::CertOpenStore) openStore = nullptr;
    decltype(&::CertCloseStore) closeStore = nullptr;
    decltype(&::CertGetSubjectCertificateFromStore) subjectCertificate = nullptr;
    decltype(&::CertFreeCertificateContext) freeCertificate = nullptr;
    decltype(&::CryptDecodeObjectEx) decodeObject = nullptr;
    decltype(&::CryptFindOIDInfo) findOidInfo = nullptr;
    decltype(&::BCryptOpenAlgorithmProvider) openAlgorithm = nullptr;
    decltype(&::BCryptCloseAlgorithmProvider) closeAlgorithm = nullptr;
    decltype(&::BCryptCreateHash) createHash = nullptr;
    decltype(&::BCryptDestroyHash) destroyHash = nullptr;
    decltype(&::BCryptHashData) hashData = nullptr;
    decltype(&::BCryptFinishHash) finishHash = nullptr;
    decltype(&::BCryptGetProperty) getProperty = nullptr;

    static std::optional<SystemCrypto> load()
    {
        const SystemLibrary crypt32(L"crypt32.dll");
        const SystemLibrary bcrypt(L"bcrypt.dll");
        SystemCrypto loaded;
        const bool complete =
            crypt32.resolve(loaded.msgOpenToDecode, "CryptMsgOpenToDecode") &&
            crypt32.resolve(loaded.msgUpdate, "CryptMsgUpdate") &&
            crypt32.resolve(loaded.msgGetParam, "CryptMsgGetParam") &&
            crypt32.resolve(loaded.msgControl, "CryptMsgControl") &&
            crypt32.resolve(loaded.msgClose, "CryptMsgClose") && crypt32.resolve(loaded.openStore, "CertOpenStore") &&
            crypt32.resolve(loaded.closeStore, "CertCloseStore") &&
            crypt32.resolve(loaded.subjectCertificate, "CertGetSubjectCertificateFromStore") &&
            crypt32.resolve(loaded.freeCertificate, "CertFreeCertificateContext") &&
            crypt32.resolve(loaded.decodeObject, "CryptDecodeObjectEx") &&
            crypt32.resolve(loaded.findOidInfo, "CryptFindOIDInfo") &&
            bcrypt.resolve(loaded.openAlgorithm, "BCryptOpenAlgorithmProvider") &&
            bcrypt.resolve(loaded.closeAlgorithm, "BCryptCloseAlgorithmProvider") &&
            bcrypt.resolve(loaded.createHash, "BCryptCreateHash") &&
            bcrypt.resolve(loaded.destroyHash, "BCryptDestroyHash") &&
            bcrypt.resolve(loaded.hashData, "BCryptHashData") &&
            bcrypt.resolve(loaded.finishHash, "BCryptFinishHash") &&
            bcrypt.resolve(loaded.getProperty, "BCryptGetProperty");
        return complete ? std::optional<SystemCrypto>(loaded) : std::nullopt;
    }
};

// Loaded on the first check; null when the system lacks any of them.
const SystemCrypto* loadedSystemCrypto()
{
    static const std::optional<SystemCrypto> loaded = SystemCrypto::load();
    return loaded ? &*loaded : nullptr;
}

// Only reached once createNativeSignatureCrypto has found them all.
const SystemCrypto& api() { return *loadedSystemCrypto(); }

struct MessageCloser {
    void operator()(void* message) const { api().msgClose(message); }
};
using Message = std::unique_ptr<void, MessageCloser>;

struct StoreCloser {
    void operator()(void* store) const { api().closeStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;

struct CertificateFreer {
    void operator()(const CERT_CONTEXT* certificate) const { api().freeCertificate(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;

struct ProviderReleaser {
    void operator()(void* provider) const { CryptReleaseContext(reinterpret_cast<HCRYPTPROV>(provider), 0); }
};

struct HashDestroyer {
    void operator()(void* hash) const { CryptDestroyHash(reinterpret_cast<HCRYPTHASH>(hash)); }
};

struct LocalFreer {
    void operator()(void* block) const { LocalFree(block); }
};

// A message parameter of any length.
std::optional<std::vector<uint8_t>> messageParameter(HCRYPTMSG message, DWORD parameter)
{
    DWORD length = 0;
    if (!api().msgGetParam(message, parameter, 0, nullptr, &length))
        return std::nullopt;
    std::vector<uint8_t> value(length);
    if (!api().msgGetParam(message, parameter, 0, value.data(), &length))
        return std::nullopt;
    value.resize(length);
    return value;
}

template <typename Value>
std::optional<Value> messageValue(HCRYPTMSG message, DWORD parameter)
{
    Value value{};
    DWORD length = sizeof value;
    if (!api().msgGetParam(message, parameter, 0, &value, &length) || length != sizeof value)
        return std::nullopt;
    return value;
}

// The value of an attribute of a name, as crypt32 decodes it: the
// characters of a string in UTF-8 (the 8-bit string types byte by byte, as
// ISO 8859-1, as OpenSSL reads them), or else its DER; false for a type
// crypt32 leaves undecoded.
bool readValue(DWORD type, const CERT_RDN_VALUE_BLOB& value, NameAttribute& attribute)
{
    const BYTE* bytes = value.pbData;
    std::wstring wide;
    switch (type & CERT_RDN_TYPE_MASK) {
    case CERT_RDN_NUMERIC_STRING:
    case CERT_RDN_PRINTABLE_STRING:
    case CERT_RDN_T61_STRING:
    case CERT_RDN_VIDEOTEX_STRING:
    case CERT_RDN_IA5_STRING:
    case CERT_RDN_GRAPHIC_STRING:
    case CERT_RDN_VISIBLE_STRING:
    case CERT_RDN_GENERAL_STRING:
        wide.assign(bytes, bytes + value.cbData);
        break;
    case CERT_RDN_BMP_STRING:
    case CERT_RDN_UTF8_STRING:
        wide.assign(reinterpret_cast<const wchar_t*>(bytes), value.cbData / sizeof(wchar_t));
        break;
    case CERT_RDN_UNIVERSAL_STRING:
        for (DWORD index = 0; index + sizeof(uint32_t) <= value.cbData; index += sizeof(uint32_t)) {
            uint32_t codePoint = 0;
            std::memcpy(&codePoint, bytes + index, sizeof codePoint);
            if (codePoint >= 0x110000)
                return false;
            if (codePoint >= 0x10000) {
                wide += wchar_t(0xD800 + ((codePoint - 0x10000) >> 10));
                codePoint = 0xDC00 + (codePoint & 0x3FF);
            }
            wide += wchar_t(codePoint);
        }
        break;
    case CERT_RDN_ENCODED_BLOB:
        attribute.value.assign(reinterpret_cast<const char*>(bytes), value.cbData);
        attribute.isString = false;
        return true;
    default:
        return false;
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    attribute.value.resize(size_t(length > 0 ? length : 0));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), attribute.value.data(), length, nullptr, nullptr);
    return true;
}

// A name's parts, in the order it encodes them; empty when crypt32 cannot
// decode it or one of its values.
DistinguishedName nameParts(const CERT_NAME_BLOB& name)
{
    CERT_NAME_INFO* decoded = nullptr;
    DWORD decodedLength = 0;
    if (!api().decodeObject(X509_ASN_ENCODING, X509_NAME, name.pbData, name.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                            &decoded, &decodedLength))
        return {};
    const std::unique_ptr<void, LocalFreer> owned(decoded);
    DistinguishedName parts(decoded->cRDN);
    for (DWORD nameIndex = 0; nameIndex < decoded->cRDN; ++nameIndex) {
        const CERT_RDN& relativeName = decoded->rgRDN[nameIndex];
        parts[nameIndex].resize(relativeName.cRDNAttr);
        for (DWORD index = 0; index < relativeName.cRDNAttr; ++index) {
            const CERT_RDN_ATTR& attribute = relativeName.rgRDNAttr[index];
            NameAttribute& part = parts[nameIndex][index];
            if (!attribute.pszObjId || !readValue(attribute.dwValueType, attribute.Value, part))
                return {};
            part.type = attribute.pszObjId;
        }
    }
    return parts;
}

// SpcIndirectDataContent, decoded by wintrust's decoder, which crypt32 loads
// from the system folder: the file digest.
bool readFileDigest(HCRYPTMSG message, AuthenticodeSignature& signature)
{
    const std::optional<std::vector<uint8_t>> contentType = messageParameter(message, CMSG_INNER_CONTENT_TYPE_PARAM);
    if (!contentType || contentType->empty() || contentType->back() != 0 ||
        std::strcmp(reinterpret_cast<const char*>(contentType->data()), SPC_INDIRECT_DATA_OBJID) != 0)
        return false;
    const std::optional<std::vector<uint8_t>> content = messageParameter(message, CMSG_CONTENT_PARAM);
    if (!content)
        return false;
    SPC_INDIRECT_DATA_CONTENT* decoded = nullptr;
    DWORD decodedLength = 0;
    if (!api().decodeObject(X509_ASN_ENCODING, SPC_INDIRECT_DATA_OBJID, content->data(), DWORD(content->size()),
                            CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &decodedLength))
        return false;
    const std::unique_ptr<void, LocalFreer> owned(decoded);
    if (!decoded->DigestAlgorithm.pszObjId)
        return false;
    signature.fileDigestAlgorithm = decoded->DigestAlgorithm.pszObjId;
    signature.fileDigest.assign(decoded->Digest.pbData, decoded->Digest.pbData + decoded->Digest.cbData);
    return true;
}

// The contents octets of one DER element, without its tag and length: what
// PKCS #7 hashes of signed content that is not plain data.
std::optional<std::vector<uint8_t>> contentsOctets(const std::vector<uint8_t>& element)
{
    constexpr uint8_t kLongForm = 0x80;
    constexpr size_t kMostLengthBytes = 4;
    if (element.size() < 2)
        return std::nullopt;
    size_t header = 2;
    size_t length = element[1];
    if (length & kLongForm) {
        const size_t lengthBytes = length & ~size_t(kLongForm);
        if (lengthBytes == 0 || lengthBytes > kMostLengthBytes || element.size() < header + lengthBytes)
            return std::nullopt;
        length = 0;
        for (size_t index = 0; index < lengthBytes; ++index)
            length = length << 8 | element[header + index];
        header += lengthBytes;
    }
    if (length != element.size() - header)
        return std::nullopt;
    return std::vector<uint8_t>(element.begin() + ptrdiff_t(header), element.end());
}

// The signer's authenticated attributes; nothing when it signed none.
std::optional<std::vector<uint8_t>> authenticatedAttributes(HCRYPTMSG message)
{
    std::optional<std::vector<uint8_t>> encoded = messageParameter(message, CMSG_SIGNER_AUTH_ATTR_PARAM);
    if (!encoded || encoded->size() < sizeof(CRYPT_ATTRIBUTES) ||
        reinterpret_cast<const CRYPT_ATTRIBUTES*>(encoded->data())->cAttr == 0)
        return std::nullopt;
    return encoded;
}

// The one value of the signer's one messageDigest attribute.
std::optional<std::vector<uint8_t>> signedMessageDigest(HCRYPTMSG message)
{
    const std::optional<std::vector<uint8_t>> encoded = authenticatedAttributes(message);
    if (!encoded)
        return std::nullopt;
    const auto* attributes = reinterpret_cast<const CRYPT_ATTRIBUTES*>(encoded->data());
    const CRYPT_ATTRIBUTE* found = nullptr;
    for (DWORD index = 0; index < attributes->cAttr; ++index) {
        const CRYPT_ATTRIBUTE& attribute = attributes->rgAttr[index];
        if (!attribute.pszObjId || std::strcmp(attribute.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) != 0)
            continue;
        if (found || attribute.cValue != 1)
            return std::nullopt;
        found = &attribute;
    }
    if (!found)
        return std::nullopt;
    CRYPT_DATA_BLOB* digest = nullptr;
    DWORD digestLength = 0;
    if (!api().decodeObject(X509_ASN_ENCODING, X509_OCTET_STRING, found->rgValue[0].pbData, found->rgValue[0].cbData,
                            CRYPT_DECODE_ALLOC_FLAG, nullptr, &digest, &digestLength))
        return std::nullopt;
    const std::unique_ptr<void, LocalFreer> owned(digest);
    return std::vector<uint8_t>(digest->pbData, digest->pbData + digest->cbData);
}

class CngHasher : public DigestHasher {
public:
    CngHasher(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE hash) : m_algorithm(algorithm), m_hash(hash) {}
    CngHasher(const CngHasher&) = delete;
    CngHasher& operator=(const CngHasher&) = delete;
    ~CngHasher() override
    {
        api().destroyHash(m_hash);
        api().closeAlgorithm(m_algorithm, 0);
    }

    void add(const uint8_t* bytes, size_t count) override
    {
        api().hashData(m_hash, const_cast<PUCHAR>(bytes), ULONG(count), 0);
    }

    std::vector<uint8_t> finish() override
    {
        DWORD length = 0;
        ULONG written = 0;
        if (!BCRYPT_SUCCESS(api().getProperty(m_hash, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length),
                                              sizeof length, &written, 0)))
            return {};
        std::vector<uint8_t> digest(length);
        if (!BCRYPT_SUCCESS(api().finishHash(m_hash, digest.data(), length, 0)))
            return {};
        return digest;
    }

private:
    BCRYPT_ALG_HANDLE m_algorithm;
    BCRYPT_HASH_HANDLE m_hash;
};

// The digest of `bytes` by the hash algorithm `oid` names; nothing when the
// system does not offer it. CryptoAPI's own hash: the OID's CNG name is not
// known to every implementation of the API.
std::optional<std::vector<uint8_t>> digestOf(const char* oid, const std::vector<uint8_t>& bytes)
{
    const CRYPT_OID_INFO* info =
        oid ? api().findOidInfo(CRYPT_OID_INFO_OID_KEY, const_cast<char*>(oid), CRYPT_HASH_ALG_OID_GROUP_ID) : nullptr;
    HCRYPTPROV provider = 0;
    if (!info || bytes.size() > MAXDWORD ||
        !CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return std::nullopt;
    const std::unique_ptr<void, ProviderReleaser> ownedProvider(reinterpret_cast<void*>(provider));
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, info->Algid, 0, 0, &hash))
        return std::nullopt;
    const std::unique_ptr<void, HashDestroyer> ownedHash(reinterpret_cast<void*>(hash));
    std::vector<uint8_t> digest(64); // SHA-512's, the longest
    DWORD length = DWORD(digest.size());
    if (!CryptHashData(hash, bytes.data(), DWORD(bytes.size()), 0) ||
        !CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &length, 0) || length == 0)
        return std::nullopt;
    digest.resize(length);
    return digest;
}

// The signer's messageDigest attribute is the digest of the indirect data,
// by the signer's own hash algorithm. CMSG_CTRL_VERIFY_SIGNATURE checks it
// as well on Windows, but not under every implementation of the API, so it
// is compared here.
SignerVerdict messageDigestVerdict(HCRYPTMSG message)
{
    const std::optional<std::vector<uint8_t>> signerInfo = messageParameter(message, CMSG_SIGNER_INFO_PARAM);
    const std::optional<std::vector<uint8_t>> content = messageParameter(message, CMSG_CONTENT_PARAM);
    if (!signerInfo || signerInfo->size() < sizeof(CMSG_SIGNER_INFO) || !content)
        return SignerVerdict::NotVerified;
    const char* signerHash = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo->data())->HashAlgorithm.pszObjId;
    const std::optional<std::vector<uint8_t>> contents = contentsOctets(*content);
    const std::optional<std::vector<uint8_t>> signedDigest = signedMessageDigest(message);
    if (!contents || !signedDigest)
        return SignerVerdict::NotVerified;
    const std::optional<std::vector<uint8_t>> digest = digestOf(signerHash, *contents);
    if (!digest)
        return SignerVerdict::NotCheckable;
    return *digest == *signedDigest ? SignerVerdict::Verified : SignerVerdict::NotVerified;
}

// Why CMSG_CTRL_VERIFY_SIGNATURE failed: a signature that does not verify,
// or a key or algorithm this system cannot verify with. Wine's crypt32, for
// one, finds no importer for an ECDSA key and decodes it as an RSA key,
// failing on its tag. Other failures count as not verified.
SignerVerdict failedVerification(DWORD error)
{
    switch (error) {
    case DWORD(CRYPT_E_ASN1_BADTAG):
    case DWORD(NTE_BAD_ALGID):
    case DWORD(NTE_NOT_SUPPORTED):
    case DWORD(CRYPT_E_UNKNOWN_ALGO):
    case DWORD(ERROR_FILE_NOT_FOUND):
    case DWORD(ERROR_NOT_SUPPORTED):
        return SignerVerdict::NotCheckable;
    default:
        return SignerVerdict::NotVerified;
    }
}

// Checks the signature over the attributes with the certificate's key.
SignerVerdict signerVerdict(HCRYPTMSG message, const CERT_CONTEXT& certificate)
{
    const SignerVerdict digest = messageDigestVerdict(message);
    if (digest != SignerVerdict::Verified)
        return digest;
    if (api().msgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE, certificate.pCertInfo))
        return SignerVerdict::Verified;
    return failedVerification(GetLastError());
}

const wchar_t* algorithmName(DigestAlgorithm algorithm)
{
    switch (algorithm) {
    case DigestAlgorithm::Sha1: return BCRYPT_SHA1_ALGORITHM;
    case DigestAlgorithm::Sha256: return BCRYPT_SHA256_ALGORITHM;
    case DigestAlgorithm::Sha384: return BCRYPT_SHA384_ALGORITHM;
    case DigestAlgorithm::Sha512: return BCRYPT_SHA512_ALGORITHM;
    }
    return nullptr;
}

class Win32SignatureCrypto : public SignatureCrypto {
public:
    std::optional<AuthenticodeSignature> readSignature(const uint8_t* signedData, size_t size) override
    {
        if (size > MAXDWORD)
            return std::nullopt;
        const Message message(api().msgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
        if (!message || !api().msgUpdate(message.get(), signedData, DWORD(size), TRUE) ||
            messageValue<DWORD>(message.get(), CMSG_TYPE_PARAM) != DWORD(CMSG_SIGNED))
            return std::nullopt;
        AuthenticodeSignature signature;
        if (!readFileDigest(message.get(), signature) ||
            messageValue<DWORD>(message.get(), CMSG_SIGNER_COUNT_PARAM) != DWORD(1))
            return std::nullopt;
        std::optional<std::vector<uint8_t>> signerId = messageParameter(message.get(), CMSG_SIGNER_CERT_INFO_PARAM);
        if (!signerId || signerId->size() < sizeof(CERT_INFO))
            return std::nullopt;
        // The certificates the signature carries, and among them the signer's
        // by issuer and serial number.
        const Store carried(api().openStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.get()));
        if (!carried)
            return std::nullopt;
        auto* signerCertificateId = reinterpret_cast<CERT_INFO*>(signerId->data());
        const Certificate certificate(api().subjectCertificate(carried.get(), kEncoding, signerCertificateId));
        if (!certificate)
            return std::nullopt;
        signature.signerSubject = nameParts(certificate->pCertInfo->Subject);
        signature.signerIssuer = nameParts(certificate->pCertInfo->Issuer);
        if (const char* key = certificate->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId)
            signature.signerKeyAlgorithm = key;
        signature.authenticatedAttributes = authenticatedAttributes(message.get()).has_value();
        signature.signer = signerVerdict(message.get(), *certificate);
        return signature;
    }

    std::unique_ptr<DigestHasher> startDigest(DigestAlgorithm algorithm) override
    {
        BCRYPT_ALG_HANDLE provider = nullptr;
        if (!BCRYPT_SUCCESS(api().openAlgorithm(&provider, algorithmName(algorithm), nullptr, 0)))
            return nullptr;
        BCRYPT_HASH_HANDLE hash = nullptr;
        if (!BCRYPT_SUCCESS(api().createHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) {
            api().closeAlgorithm(provider, 0);
            return nullptr;
        }
        return std::make_unique<CngHasher>(provider, hash);
    }
};

} // namespace

// crypt32 and bcrypt are loaded here, on first use, not at start-up.
std::unique_ptr<SignatureCrypto> createNativeSignatureCrypto()
{
    if (!loadedSystemCrypto())
        return nullptr;
    return std::make_unique<Win32SignatureCrypto>();
}

} // namespace Tessit
