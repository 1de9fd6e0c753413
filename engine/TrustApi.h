// The parts of wintrust.dll and crypt32.dll the signature check uses, loaded at run time from the system directory
// (so that the image imports neither), owners for what they hand out, and the chain checks.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

struct CTrustApi {
    decltype(&::WinVerifyTrust) pfnWinVerifyTrust = nullptr;
    decltype(&::CryptQueryObject) pfnCryptQueryObject = nullptr;
    decltype(&::CryptMsgOpenToDecode) pfnCryptMsgOpenToDecode = nullptr;
    decltype(&::CryptMsgUpdate) pfnCryptMsgUpdate = nullptr;
    decltype(&::CryptMsgGetParam) pfnCryptMsgGetParam = nullptr;
    decltype(&::CryptMsgControl) pfnCryptMsgControl = nullptr;
    decltype(&::CryptMsgClose) pfnCryptMsgClose = nullptr;
    decltype(&::CryptDecodeObjectEx) pfnCryptDecodeObjectEx = nullptr;
    decltype(&::CryptHashCertificate) pfnCryptHashCertificate = nullptr;
    decltype(&::CertOpenStore) pfnCertOpenStore = nullptr;
    decltype(&::CertCloseStore) pfnCertCloseStore = nullptr;
    decltype(&::CertFindCertificateInStore) pfnCertFindCertificateInStore = nullptr;
    decltype(&::CertFreeCertificateContext) pfnCertFreeCertificateContext = nullptr;
    decltype(&::CertGetNameStringW) pfnCertGetNameString = nullptr;
    decltype(&::CertVerifyTimeValidity) pfnCertVerifyTimeValidity = nullptr;
    decltype(&::CertGetCertificateChain) pfnCertGetCertificateChain = nullptr;
    decltype(&::CertVerifyCertificateChainPolicy) pfnCertVerifyCertificateChainPolicy = nullptr;
    decltype(&::CertFreeCertificateChain) pfnCertFreeCertificateChain = nullptr;

    // Owners of what the libraries hand out, each closed with the library's own function.
    CUniqueCertStore OwnStore(HCERTSTORE hStore) const { return CUniqueCertStore(hStore, {pfnCertCloseStore}); }
    CUniqueCryptMsg OwnMessage(HCRYPTMSG hMessage) const { return CUniqueCryptMsg(hMessage, {pfnCryptMsgClose}); }
    CUniqueCertContext OwnCertificate(PCCERT_CONTEXT pCert) const
    {
        return CUniqueCertContext(pCert, {pfnCertFreeCertificateContext});
    }
    CUniqueCertChain OwnChain(PCCERT_CHAIN_CONTEXT pChain) const
    {
        return CUniqueCertChain(pChain, {pfnCertFreeCertificateChain});
    }
};

constexpr DWORD kCertEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// Loaded once per process; nullptr when a library or an entry point is missing. Safe from any thread.
const CTrustApi* TrustApi();

// A parameter of a message (CryptMsgGetParam) in a buffer of its own, aligned for the structure it may hold;
// empty when the message has none.
std::vector<BYTE> MessageParam(const CTrustApi& api, HCRYPTMSG hMessage, DWORD dwParam);

// The certificate in hStore that a signer's CERT_INFO (issuer and serial number) names, or none.
CUniqueCertContext FindSigner(const CTrustApi& api, HCERTSTORE hStore, const CERT_INFO& signer);

// Where a check may get what its certificates name by address (issuers over AIA, revocation lists, OCSP answers):
// the network, within Windows' own limits for such retrievals, or the cache alone (no wait on any address).
enum class ECertificateUrls { Fetch, CacheOnly };

// The certificate chains to a trusted root, with no error in the chain, each certificate valid at *pTime (null:
// now) and made for the use pszUsage (an extended key usage), and the chain passes the policy pszPolicy.
bool ChainTrusted(const CTrustApi& api, PCCERT_CONTEXT pCert, HCERTSTORE hExtraStore, const FILETIME* pTime,
                  LPCSTR pszUsage, LPCSTR pszPolicy, ECertificateUrls urls);

// A certificate of the chain, all but its root, is listed as revoked by its CRL or OCSP responder. Revocation data
// that cannot be had counts as no listing, as Authenticode's offline rule has it.
bool ChainRevoked(const CTrustApi& api, PCCERT_CONTEXT pCert, HCERTSTORE hExtraStore, const FILETIME* pTime,
                  LPCSTR pszUsage, ECertificateUrls urls);
