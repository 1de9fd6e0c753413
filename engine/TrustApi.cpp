// The parts of wintrust.dll and crypt32.dll the signature check uses, and the chain check both checks share.
#include "TrustApi.h"

#include "SystemLibrary.h"

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

CCertificate FindSigner(const CTrustApi& api, HCERTSTORE hStore, const CERT_INFO& signer)
{
    return CCertificate(
        api.pfnCertFindCertificateInStore(hStore, kCertEncoding, 0, CERT_FIND_SUBJECT_CERT, &signer, nullptr));
}

bool ChainTrusted(const CTrustApi& api, PCCERT_CONTEXT pCert, HCERTSTORE hExtraStore, const FILETIME* pTime,
                  LPCSTR pszUsage, LPCSTR pszPolicy)
{
    LPSTR usages[] = {const_cast<LPSTR>(pszUsage)};
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    FILETIME time = pTime != nullptr ? *pTime : FILETIME{};
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
    if (!api.pfnCertGetCertificateChain(nullptr, pCert, pTime != nullptr ? &time : nullptr, hExtraStore, &para, 0,
                                        nullptr, &pChain))
        return false;
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    // The chain's own status is read as well: Wine's policies let a partial chain or a wrong usage pass. Revocation
    // is not asked for, so its status cannot count.
    constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    const bool bTrusted = (pChain->TrustStatus.dwErrorStatus & ~kRevocationUnknown) == CERT_TRUST_NO_ERROR &&
                          api.pfnCertVerifyCertificateChainPolicy(pszPolicy, pChain, &policy, &status) &&
                          status.dwError == ERROR_SUCCESS;
    api.pfnCertFreeCertificateChain(pChain);
    return bTrusted;
}
