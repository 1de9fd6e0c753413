// The parts of wintrust.dll and crypt32.dll the signature check uses, and the chain check both checks share.
#include "TrustApi.h"

#include "SystemLibrary.h"

#include <cstddef>

namespace {

bool Load(CTrustApi& api)
{
    // Both stay loaded for the life of the process.
    return ResolveProcs(LoadSystemLibrary(L"wintrust.dll"), {{"WinVerifyTrust", api.pfnWinVerifyTrust}}) &&
           ResolveProcs(LoadSystemLibrary(L"crypt32.dll"),
                        {{"CryptQueryObject", api.pfnCryptQueryObject},
                         {"CryptMsgOpenToDecode", api.pfnCryptMsgOpenToDecode},
                         {"CryptMsgUpdate", api.pfnCryptMsgUpdate},
                         {"CryptMsgGetParam", api.pfnCryptMsgGetParam},
                         {"CryptMsgControl", api.pfnCryptMsgControl},
                         {"CryptMsgClose", api.pfnCryptMsgClose},
                         {"CryptDecodeObjectEx", api.pfnCryptDecodeObjectEx},
                         {"CryptHashCertificate", api.pfnCryptHashCertificate},
                         {"CertOpenStore", api.pfnCertOpenStore},
                         {"CertCloseStore", api.pfnCertCloseStore},
                         {"CertFindCertificateInStore", api.pfnCertFindCertificateInStore},
                         {"CertFreeCertificateContext", api.pfnCertFreeCertificateContext},
                         {"CertGetNameStringW", api.pfnCertGetNameString},
                         {"CertVerifyTimeValidity", api.pfnCertVerifyTimeValidity},
                         {"CertGetCertificateChain", api.pfnCertGetCertificateChain},
                         {"CertVerifyCertificateChainPolicy", api.pfnCertVerifyCertificateChainPolicy},
                         {"CertFreeCertificateChain", api.pfnCertFreeCertificateChain}});
}

}  // namespace

const CTrustApi* TrustApi()
{
    static CTrustApi api;
    static const bool bLoaded = Load(api);
    return bLoaded ? &api : nullptr;
}

std::vector<BYTE> MessageParam(const CTrustApi& api, HCRYPTMSG hMessage, DWORD dwParam)
{
    DWORD nBytes = 0;
    if (!api.pfnCryptMsgGetParam(hMessage, dwParam, 0, nullptr, &nBytes) || nBytes == 0)
        return {};
    std::vector<BYTE> param(nBytes);  // operator new aligns it for any structure
    if (!api.pfnCryptMsgGetParam(hMessage, dwParam, 0, param.data(), &nBytes))
        return {};
    param.resize(nBytes);
    return param;
}

CUniqueCertContext FindSigner(const CTrustApi& api, HCERTSTORE hStore, const CERT_INFO& signer)
{
    return api.OwnCertificate(
        api.pfnCertFindCertificateInStore(hStore, kCertEncoding, 0, CERT_FIND_SUBJECT_CERT, &signer, nullptr));
}

namespace {

// The chain of pCert for the use pszUsage at *pTime (null: now), with the flags that say what it checks, or none.
CUniqueCertChain BuildChain(const CTrustApi& api, PCCERT_CONTEXT pCert, HCERTSTORE hExtraStore, const FILETIME* pTime,
                  LPCSTR pszUsage, DWORD dwFlags, DWORD dwUrlRetrievalMs)
{
    LPSTR usages[] = {const_cast<LPSTR>(pszUsage)};
    CERT_CHAIN_PARA para = {};
    // The fields Windows 7 knows, the retrieval time-out among them.
    para.cbSize = offsetof(CERT_CHAIN_PARA, pStrongSignPara);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    para.dwUrlRetrievalTimeout = dwUrlRetrievalMs;
    FILETIME time = pTime != nullptr ? *pTime : FILETIME{};
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
    if (!api.pfnCertGetCertificateChain(nullptr, pCert, pTime != nullptr ? &time : nullptr, hExtraStore, &para,
                                        dwFlags, nullptr, &pChain))
        return {};
    return api.OwnChain(pChain);
}

}  // namespace

bool ChainTrusted(const CTrustApi& api, PCCERT_CONTEXT pCert, HCERTSTORE hExtraStore, const FILETIME* pTime,
                  LPCSTR pszUsage, LPCSTR pszPolicy, ECertificateUrls urls)
{
    // A missing issuer may be fetched over its AIA address, as Windows does, within Windows' limit for one retrieval.
    const CUniqueCertChain pChain = urls == ECertificateUrls::CacheOnly
                              ? BuildChain(api, pCert, hExtraStore, pTime, pszUsage, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, 0)
                              : BuildChain(api, pCert, hExtraStore, pTime, pszUsage, 0,
                                           CERT_CHAIN_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT);
    if (!pChain)
        return false;
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    // The chain's own status is read as well: Wine's policies let a partial chain or a wrong usage pass. Revocation
    // is not asked for here (ChainRevoked is), so its status cannot count.
    constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    return (pChain.get()->TrustStatus.dwErrorStatus & ~kRevocationUnknown) == CERT_TRUST_NO_ERROR &&
           api.pfnCertVerifyCertificateChainPolicy(pszPolicy, pChain.get(), &policy, &status) &&
           status.dwError == ERROR_SUCCESS;
}

bool ChainRevoked(const CTrustApi& api, PCCERT_CONTEXT pCert, HCERTSTORE hExtraStore, const FILETIME* pTime,
                  LPCSTR pszUsage, ECertificateUrls urls)
{
    // Fetching, the time-out is for all of the chain's revocation retrievals together, as Windows' default is.
    const CUniqueCertChain pChain =
        urls == ECertificateUrls::CacheOnly
            ? BuildChain(api, pCert, hExtraStore, pTime, pszUsage,
                         CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY |
                             CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL,
                         0)
            : BuildChain(api, pCert, hExtraStore, pTime, pszUsage,
                         CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                         CERT_CHAIN_REV_ACCUMULATIVE_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT);
    return pChain && (pChain.get()->TrustStatus.dwErrorStatus & CERT_TRUST_IS_REVOKED) != 0;
}
