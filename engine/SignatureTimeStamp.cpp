// The time stamp on an Authenticode signature, of either kind, checked against the signature and the authority.
#include "SignatureTimeStamp.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace {

using CBytes = std::span<const BYTE>;

// One DER element taken from the front of `in`: its tag (single-byte tags only), its contents and, when asked,
// the whole element. False, with `in` unchanged, when what is there is no whole element.
bool TakeElement(CBytes& in, BYTE& tag, CBytes& contents, CBytes* pWhole = nullptr)
{
    if (in.size() < 2 || (in[0] & 0x1F) == 0x1F)
        return false;
    size_t nLength = in[1], nHeader = 2;
    if (nLength & 0x80) {
        const size_t nLengthBytes = nLength & 0x7F;
        if (nLengthBytes == 0 || nLengthBytes > 4 || in.size() < 2 + nLengthBytes)
            return false;
        nLength = 0;
        for (size_t i = 0; i < nLengthBytes; ++i)
            nLength = nLength << 8 | in[2 + i];
        nHeader += nLengthBytes;
    }
    if (nLength > in.size() - nHeader)
        return false;
    tag = in[0];
    contents = in.subspan(nHeader, nLength);
    if (pWhole != nullptr)
        *pWhole = in.first(nHeader + nLength);
    in = in.subspan(nHeader + nLength);
    return true;
}

// The contents (or, given pWhole, also the whole) of the element at the front of `in` when its tag is `expected`.
bool Take(CBytes& in, BYTE expected, CBytes& contents, CBytes* pWhole = nullptr)
{
    BYTE tag = 0;
    CBytes rest = in, taken;
    if (!TakeElement(rest, tag, taken, pWhole) || tag != expected)
        return false;
    in = rest;
    contents = taken;
    return true;
}

// A DER element of the given tag around the parts, one after the other.
std::vector<BYTE> Der(BYTE tag, std::initializer_list<CBytes> parts)
{
    size_t nLength = 0;
    for (const CBytes part : parts)
        nLength += part.size();
    std::vector<BYTE> der{tag};
    if (nLength < 0x80) {
        der.push_back(static_cast<BYTE>(nLength));
    } else {
        BYTE lengthBytes[sizeof nLength] = {};
        size_t nLengthBytes = 0;
        for (size_t n = nLength; n != 0; n >>= 8)
            lengthBytes[nLengthBytes++] = static_cast<BYTE>(n);
        der.push_back(static_cast<BYTE>(0x80 | nLengthBytes));
        while (nLengthBytes > 0)
            der.push_back(lengthBytes[--nLengthBytes]);
    }
    for (const CBytes part : parts)
        der.insert(der.end(), part.begin(), part.end());
    return der;
}

constexpr BYTE kSequence = 0x30, kSet = 0x31, kInteger = 0x02, kObjectId = 0x06, kOctetString = 0x04,
               kGeneralizedTime = 0x18, kContext0 = 0xA0;

// What a time-stamp token (RFC 3161 TSTInfo) says: the hash it stamps, with its algorithm, and the time.
struct CStampInfo {
    CBytes algorithm;  // the hash's object identifier, DER contents
    CBytes hash;
    CBytes time;       // GeneralizedTime, YYYYMMDDHHMMSS[.fraction]Z
};

// TSTInfo ::= SEQUENCE { version INTEGER, policy OID, messageImprint SEQUENCE { SEQUENCE { OID, ... },
// OCTET STRING }, serialNumber INTEGER, genTime GeneralizedTime, ... }
bool ReadStampInfo(CBytes der, CStampInfo& info)
{
    CBytes body, ignored, imprint, algorithm;
    return Take(der, kSequence, body) && Take(body, kInteger, ignored) && Take(body, kObjectId, ignored) &&
           Take(body, kSequence, imprint) && Take(imprint, kSequence, algorithm) &&
           Take(algorithm, kObjectId, info.algorithm) && Take(imprint, kOctetString, info.hash) &&
           Take(body, kInteger, ignored) && Take(body, kGeneralizedTime, info.time);
}

// The hash algorithms a time stamp may use: object identifier as text and as DER contents.
struct CHashAlgorithm {
    const char* pszOid;
    BYTE der[9];
    size_t nDerBytes;
    ALG_ID algorithm;
};
constexpr CHashAlgorithm kHashAlgorithms[] = {
    {szOID_OIWSEC_sha1, {0x2B, 0x0E, 0x03, 0x02, 0x1A}, 5, CALG_SHA1},
    {szOID_NIST_sha256, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, 9, CALG_SHA_256},
    {szOID_NIST_sha384, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, 9, CALG_SHA_384},
    {szOID_NIST_sha512, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, 9, CALG_SHA_512},
};

// The data hashes to `expected` under the algorithm; false for an algorithm not in the list (0).
bool HashIs(const CTrustApi& api, ALG_ID algorithm, CBytes data, CBytes expected)
{
    BYTE hash[64] = {};
    DWORD nHashBytes = sizeof hash;
    return algorithm != 0 && !data.empty() &&
           api.pfnCryptHashCertificate(0, algorithm, 0, data.data(), static_cast<DWORD>(data.size()), hash,
                                       &nHashBytes) &&
           std::ranges::equal(expected, CBytes(hash, nHashBytes));
}

// The stamped hash is the hash of this signature (its encrypted digest).
bool StampsSignature(const CTrustApi& api, const CStampInfo& info, CBytes signature)
{
    for (const CHashAlgorithm& hash : kHashAlgorithms) {
        if (std::ranges::equal(info.algorithm, CBytes(hash.der, hash.nDerBytes)))
            return HashIs(api, hash.algorithm, signature, info.hash);
    }
    return false;
}

// The authority's signed attributes name the hash of the content it signed: CryptMsgControl compares it with the
// content on Windows, but Wine's does not, so it is compared here as well.
bool SignedDigestIs(const CTrustApi& api, HCRYPTMSG hMessage, CBytes content)
{
    const std::vector<BYTE> signerInfo = MessageParam(api, hMessage, CMSG_SIGNER_INFO_PARAM);
    if (signerInfo.empty())
        return false;
    const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo.data());
    ALG_ID algorithm = 0;
    for (const CHashAlgorithm& hash : kHashAlgorithms) {
        if (std::strcmp(signer.HashAlgorithm.pszObjId, hash.pszOid) == 0)
            algorithm = hash.algorithm;
    }
    for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
        CBytes value, digest;
        if (std::strcmp(attribute.pszObjId, szOID_RSA_messageDigest) == 0 && attribute.cValue == 1) {
            value = CBytes(attribute.rgValue[0].pbData, attribute.rgValue[0].cbData);
            return Take(value, kOctetString, digest) && HashIs(api, algorithm, content, digest);
        }
    }
    return false;
}

bool ReadGeneralizedTime(CBytes text, FILETIME& time)
{
    // Whole seconds, then an optional fraction, then Z: local times and offsets are not allowed in a time stamp.
    if (text.size() < 15 || text.back() != 'Z')
        return false;
    WORD fields[6] = {};
    const size_t kWidths[6] = {4, 2, 2, 2, 2, 2};
    size_t nPos = 0;
    for (size_t field = 0; field < 6; ++field) {
        for (size_t i = 0; i < kWidths[field]; ++i, ++nPos) {
            if (text[nPos] < '0' || text[nPos] > '9')
                return false;
            fields[field] = static_cast<WORD>(fields[field] * 10 + (text[nPos] - '0'));
        }
    }
    if (nPos + 1 != text.size() && text[nPos] != '.')
        return false;
    SYSTEMTIME system = {};
    system.wYear = fields[0];
    system.wMonth = fields[1];
    system.wDay = fields[2];
    system.wHour = fields[3];
    system.wMinute = fields[4];
    system.wSecond = fields[5];
    return SystemTimeToFileTime(&system, &time) != FALSE;
}

// A signed message decoded; none when it is no message.
CUniqueCryptMsg DecodeMessage(const CTrustApi& api, CBytes der)
{
    CUniqueCryptMsg message = api.OwnMessage(api.pfnCryptMsgOpenToDecode(kCertEncoding, 0, 0, 0, nullptr, nullptr));
    if (!message || !api.pfnCryptMsgUpdate(message.get(), der.data(), static_cast<DWORD>(der.size()), TRUE))
        return {};
    return message;
}

// An RFC 3161 token: a signed message of its own whose content (a TSTInfo) stamps the signature.
std::optional<FILETIME> TokenTime(const CTrustApi& api, const CRYPT_ATTR_BLOB& token, CBytes signature,
                                  ECertificateUrls urls)
{
    const CUniqueCryptMsg message = DecodeMessage(api, CBytes(token.pbData, token.cbData));
    if (!message)
        return {};
    const std::vector<BYTE> contentType = MessageParam(api, message.get(), CMSG_INNER_CONTENT_TYPE_PARAM);
    if (contentType.empty() || std::strcmp(reinterpret_cast<const char*>(contentType.data()), szOID_TIMESTAMP_TOKEN) != 0)
        return {};
    const CUniqueCertStore store = api.OwnStore(api.pfnCertOpenStore(CERT_STORE_PROV_MSG, kCertEncoding, 0, 0, message.get()));
    const std::vector<BYTE> signer = MessageParam(api, message.get(), CMSG_SIGNER_CERT_INFO_PARAM);
    if (!store || signer.empty())
        return {};
    const CUniqueCertContext authority = FindSigner(api, store.get(), *reinterpret_cast<const CERT_INFO*>(signer.data()));
    if (!authority ||
        !api.pfnCryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE, authority.get()->pCertInfo))
        return {};
    // The TSTInfo; Wine hands it out still inside the OCTET STRING that carries it in the message.
    const std::vector<BYTE> content = MessageParam(api, message.get(), CMSG_CONTENT_PARAM);
    CBytes stampInfo = content, rest = content, unwrapped;
    if (Take(rest, kOctetString, unwrapped) && rest.empty())
        stampInfo = unwrapped;
    CStampInfo info;
    FILETIME time = {};
    if (!SignedDigestIs(api, message.get(), stampInfo) || !ReadStampInfo(stampInfo, info) ||
        !StampsSignature(api, info, signature) ||
        !ReadGeneralizedTime(info.time, time) ||
        !ChainTrusted(api, authority.get(), store.get(), &time, szOID_PKIX_KP_TIMESTAMP_SIGNING,
                      CERT_CHAIN_POLICY_BASE, urls))
        return {};
    return time;
}

// The older kind: a signer info of the authority whose content is this signature (its encrypted digest), with
// the time as its signing time. CryptMsgVerifyCountersignatureEncoded would check it, but Wine does not implement
// it, so the signed message that the counter-signature is the signer of is rebuilt around the signature and
// checked as any signed message is: the authority's signature, and its message digest against the content.
std::optional<FILETIME> CounterSignatureTime(const CTrustApi& api, const CRYPT_ATTR_BLOB& counterSignature,
                                             CBytes signature, HCERTSTORE hStore, ECertificateUrls urls)
{
    // SignerInfo ::= SEQUENCE { version INTEGER, issuerAndSerialNumber SEQUENCE, digestAlgorithm SEQUENCE, ... }
    const CBytes signerInfo(counterSignature.pbData, counterSignature.cbData);
    CBytes in = signerInfo, body, ignored, digestAlgorithm;
    if (signature.empty() || !Take(in, kSequence, body) || !Take(body, kInteger, ignored) ||
        !Take(body, kSequence, ignored) || !Take(body, kSequence, ignored, &digestAlgorithm))
        return {};
    static constexpr BYTE kSignedData[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
    static constexpr BYTE kData[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
    static constexpr BYTE kVersion1[] = {0x02, 0x01, 0x01};
    const std::vector<BYTE> digest = Der(kOctetString, {signature});
    const std::vector<BYTE> content = Der(kSequence, {kData, Der(kContext0, {digest})});
    const std::vector<BYTE> signedData =
        Der(kSequence, {kVersion1, Der(kSet, {digestAlgorithm}), content, Der(kSet, {signerInfo})});
    const CUniqueCryptMsg message = DecodeMessage(api, Der(kSequence, {kSignedData, Der(kContext0, {signedData})}));
    const std::vector<BYTE> signer = message ? MessageParam(api, message.get(), CMSG_SIGNER_CERT_INFO_PARAM)
                                             : std::vector<BYTE>();
    if (signer.empty())
        return {};
    const CUniqueCertContext authority = FindSigner(api, hStore, *reinterpret_cast<const CERT_INFO*>(signer.data()));
    if (!authority || !api.pfnCryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE, authority.get()->pCertInfo) ||
        !SignedDigestIs(api, message.get(), signature))
        return {};
    const std::vector<BYTE> attributes = MessageParam(api, message.get(), CMSG_SIGNER_AUTH_ATTR_PARAM);
    if (attributes.empty())
        return {};
    const auto& list = *reinterpret_cast<const CRYPT_ATTRIBUTES*>(attributes.data());
    for (DWORD i = 0; i < list.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = list.rgAttr[i];
        FILETIME time = {};
        DWORD nTimeBytes = sizeof time;
        if (std::strcmp(attribute.pszObjId, szOID_RSA_signingTime) == 0 && attribute.cValue == 1 &&
            api.pfnCryptDecodeObjectEx(kCertEncoding, szOID_RSA_signingTime, attribute.rgValue[0].pbData,
                                       attribute.rgValue[0].cbData, 0, nullptr, &time, &nTimeBytes) &&
            ChainTrusted(api, authority.get(), hStore, &time, szOID_PKIX_KP_TIMESTAMP_SIGNING, CERT_CHAIN_POLICY_BASE,
                         urls))
            return time;
    }
    return {};
}

}  // namespace

std::optional<FILETIME> TrustedStampTime(const CTrustApi& api, HCRYPTMSG hMessage, HCERTSTORE hStore,
                                         ECertificateUrls urls)
{
    // The signer as a whole: its signature (the encrypted digest) and its unauthenticated attributes, where the
    // stamps are (Wine answers neither CMSG_ENCRYPTED_DIGEST nor the attributes on their own reliably).
    const std::vector<BYTE> signerInfo = MessageParam(api, hMessage, CMSG_SIGNER_INFO_PARAM);
    if (signerInfo.empty())
        return {};
    const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo.data());
    const CBytes signature(signer.EncryptedHash.pbData, signer.EncryptedHash.cbData);
    for (DWORD i = 0; i < signer.UnauthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = signer.UnauthAttrs.rgAttr[i];
        if (attribute.cValue != 1)
            continue;
        std::optional<FILETIME> time;
        if (std::strcmp(attribute.pszObjId, szOID_RFC3161_counterSign) == 0)
            time = TokenTime(api, attribute.rgValue[0], signature, urls);
        else if (std::strcmp(attribute.pszObjId, szOID_RSA_counterSign) == 0)
            time = CounterSignatureTime(api, attribute.rgValue[0], signature, hStore, urls);
        if (time)
            return time;
    }
    return {};
}
