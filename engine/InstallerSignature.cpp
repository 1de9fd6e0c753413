// The Authenticode check of a downloaded installer: the digest, the signer's chain and the signer's name.
// wintrust.dll and crypt32.dll are loaded from the system directory when first needed, so that the image
// imports neither.
#include "InstallerSignature.h"

#include "SystemLibrary.h"
#include "TextConversion.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <memory>
#include <vector>

namespace {

// A wide literal, so that the pinned name lies in the image as UTF-16 text where an image check can find it.
constexpr wchar_t kPinnedSigner[] = TARNVIK_INSTALLER_SIGNER;
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct CTrustApi {
    decltype(&::WinVerifyTrust) pfnWinVerifyTrust = nullptr;
    decltype(&::CryptQueryObject) pfnCryptQueryObject = nullptr;
    decltype(&::CryptMsgGetParam) pfnCryptMsgGetParam = nullptr;
    decltype(&::CryptMsgClose) pfnCryptMsgClose = nullptr;
    decltype(&::CertCloseStore) pfnCertCloseStore = nullptr;
    decltype(&::CertFindCertificateInStore) pfnCertFindCertificateInStore = nullptr;
    decltype(&::CertFreeCertificateContext) pfnCertFreeCertificateContext = nullptr;
    decltype(&::CertGetNameStringW) pfnCertGetNameString = nullptr;
    decltype(&::CertGetCertificateChain) pfnCertGetCertificateChain = nullptr;
    decltype(&::CertVerifyCertificateChainPolicy) pfnCertVerifyCertificateChainPolicy = nullptr;
    decltype(&::CertFreeCertificateChain) pfnCertFreeCertificateChain = nullptr;

    bool Load()
    {
        // Both stay loaded for the life of the process.
        HMODULE hWinTrust = LoadSystemLibrary(L"wintrust.dll");
        HMODULE hCrypt = LoadSystemLibrary(L"crypt32.dll");
        return hWinTrust != nullptr && hCrypt != nullptr && ResolveProc(hWinTrust, "WinVerifyTrust", pfnWinVerifyTrust)
            && ResolveProc(hCrypt, "CryptQueryObject", pfnCryptQueryObject)
            && ResolveProc(hCrypt, "CryptMsgGetParam", pfnCryptMsgGetParam)
            && ResolveProc(hCrypt, "CryptMsgClose", pfnCryptMsgClose)
            && ResolveProc(hCrypt, "CertCloseStore", pfnCertCloseStore)
            && ResolveProc(hCrypt, "CertFindCertificateInStore", pfnCertFindCertificateInStore)
            && ResolveProc(hCrypt, "CertFreeCertificateContext", pfnCertFreeCertificateContext)
            && ResolveProc(hCrypt, "CertGetNameStringW", pfnCertGetNameString)
            && ResolveProc(hCrypt, "CertGetCertificateChain", pfnCertGetCertificateChain)
            && ResolveProc(hCrypt, "CertVerifyCertificateChainPolicy", pfnCertVerifyCertificateChainPolicy)
            && ResolveProc(hCrypt, "CertFreeCertificateChain", pfnCertFreeCertificateChain);
    }
};

// Loaded once per process; nullptr when a library or an entry point is missing. Safe from any thread.
const CTrustApi* TrustApi()
{
    static CTrustApi api;
    static const bool bLoaded = api.Load();
    return bLoaded ? &api : nullptr;
}

// The signature is present and its digest matches the file. Wine answers 0 here for a self-signed signer too,
// so the chain is checked on its own below.
bool DigestMatches(const CTrustApi& api, const std::wstring& strPath)
{
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = strPath.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_IGNORE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    // INVALID_HANDLE_VALUE as the window: no user interface, ever.
    return api.pfnWinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == ERROR_SUCCESS;
}

// The signer's certificate chains to a trusted root under the Authenticode policy.
bool ChainTrusted(const CTrustApi& api, PCCERT_CONTEXT pSigner, HCERTSTORE hMessageStore)
{
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
    if (!api.pfnCertGetCertificateChain(nullptr, pSigner, nullptr, hMessageStore, &para, 0, nullptr, &pChain))
        return false;
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    const bool bTrusted =
        api.pfnCertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, pChain, &policy, &status) &&
        status.dwError == ERROR_SUCCESS;
    api.pfnCertFreeCertificateChain(pChain);
    return bTrusted;
}

// The common name of the certificate's subject.
std::wstring CommonName(const CTrustApi& api, PCCERT_CONTEXT pCert)
{
    void* pOid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD nChars = api.pfnCertGetNameString(pCert, CERT_NAME_ATTR_TYPE, 0, pOid, nullptr, 0);
    if (nChars <= 1)
        return {};
    std::vector<wchar_t> name(nChars, L'\0');
    api.pfnCertGetNameString(pCert, CERT_NAME_ATTR_TYPE, 0, pOid, name.data(), nChars);
    return name.data();
}

// The signer is read from the embedded signed message (Wine crashes when the signer is asked of WinVerifyTrust's
// state), then its name and its chain are checked.
bool SignerPinnedAndTrusted(const CTrustApi& api, const std::wstring& strPath)
{
    HCERTSTORE hStore = nullptr;
    HCRYPTMSG hMessage = nullptr;
    if (!api.pfnCryptQueryObject(CERT_QUERY_OBJECT_FILE, strPath.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                                 CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &hStore, &hMessage,
                                 nullptr))
        return false;
    const auto closeStore = [&api](void* h) { api.pfnCertCloseStore(h, 0); };
    const auto closeMessage = [&api](void* h) { api.pfnCryptMsgClose(h); };
    const std::unique_ptr<void, decltype(closeStore)> pStoreOwner(hStore, closeStore);
    const std::unique_ptr<void, decltype(closeMessage)> pMessageOwner(hMessage, closeMessage);

    DWORD nInfoBytes = 0;
    if (!api.pfnCryptMsgGetParam(hMessage, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &nInfoBytes) || nInfoBytes == 0)
        return false;
    std::vector<CERT_INFO> info(nInfoBytes / sizeof(CERT_INFO) + 1);  // CERT_INFO alignment for what follows it
    if (!api.pfnCryptMsgGetParam(hMessage, CMSG_SIGNER_CERT_INFO_PARAM, 0, info.data(), &nInfoBytes))
        return false;
    PCCERT_CONTEXT pSigner =
        api.pfnCertFindCertificateInStore(hStore, kEncoding, 0, CERT_FIND_SUBJECT_CERT, info.data(), nullptr);
    if (pSigner == nullptr)
        return false;
    const bool bResult = CommonName(api, pSigner) == kPinnedSigner && ChainTrusted(api, pSigner, hStore);
    api.pfnCertFreeCertificateContext(pSigner);
    return bResult;
}

}  // namespace

bool IsTrustedInstaller(const std::string& strPath)
{
    if (kPinnedSigner[0] == L'\0')
        return true;
    const CTrustApi* pApi = TrustApi();
    const std::wstring strWidePath = AnsiToWide(strPath);
    return pApi != nullptr && !strWidePath.empty() && DigestMatches(*pApi, strWidePath) &&
           SignerPinnedAndTrusted(*pApi, strWidePath);
}

CHeldInstaller::CHeldInstaller(const std::string& strPath)
{
    if (kPinnedSigner[0] == L'\0') {
        m_bTrusted = true;
        return;
    }
    // Read sharing only: the checks and the start read the file, nobody may write, rename or delete it meanwhile.
    const HANDLE hFile = CreateFileW(AnsiToWide(strPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    m_pFile.reset(hFile);
    m_bTrusted = IsTrustedInstaller(strPath);
}
