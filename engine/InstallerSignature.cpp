// The Authenticode check of a downloaded installer: the digest, the names of the signer and its issuer, the signer's
// chain at the time of a trusted time stamp when the signature has one, and revocation.
#include "InstallerSignature.h"

#include "DetachedThread.h"
#include "SignatureTimeStamp.h"
#include "TextConversion.h"

#include <softpub.h>

#include <atomic>
#include <optional>
#include <string_view>

namespace {

// Wide literals, so that the pinned names lie in the image as UTF-16 text where an image check can find them.
constexpr wchar_t kPinnedSigner[] = TARNVIK_INSTALLER_SIGNER;
constexpr wchar_t kPinnedIssuer[] = TARNVIK_INSTALLER_ISSUER;

// How long the check after a download may fetch: Windows' limits for an issuer's retrieval and for all of a chain's
// revocation retrievals, each with a margin for the check's own work.
constexpr DWORD kMarginMs = 2000;
constexpr DWORD kTrustBoundMs = CERT_CHAIN_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT + kMarginMs;
constexpr DWORD kRevocationBoundMs = CERT_CHAIN_REV_ACCUMULATIVE_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT + kMarginMs;

// The signature is present and its digest matches the file. Wine answers 0 here for a self-signed signer too,
// so the chain is checked on its own below.
bool DigestMatches(const CTrustApi& api, const std::wstring& strPath, ECertificateUrls urls)
{
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = strPath.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;  // the signer's chain is checked for revocation below
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_IGNORE;
    data.dwProvFlags = urls == ECertificateUrls::CacheOnly ? WTD_CACHE_ONLY_URL_RETRIEVAL : 0;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    // INVALID_HANDLE_VALUE as the window: no user interface, ever.
    return api.pfnWinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == ERROR_SUCCESS;
}

// The common name of the certificate's subject (or, with CERT_NAME_ISSUER_FLAG, its issuer), whole: a NUL inside it
// stays part of it.
std::wstring CommonName(const CTrustApi& api, PCCERT_CONTEXT pCert, DWORD dwFlags = 0)
{
    void* pOid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD nChars = api.pfnCertGetNameString(pCert, CERT_NAME_ATTR_TYPE, dwFlags, pOid, nullptr, 0);
    if (nChars <= 1)
        return {};
    std::wstring name(nChars, L'\0');
    const DWORD nCopied = api.pfnCertGetNameString(pCert, CERT_NAME_ATTR_TYPE, dwFlags, pOid, name.data(), nChars);
    name.resize(nCopied > 0 ? nCopied - 1 : 0);  // less the terminator
    return name;
}

// The file's signer, read from the embedded signed message (Wine crashes when the signer is asked of WinVerifyTrust's
// state), and the checks of its names and its chain.
class CSigner {
public:
    CSigner(const CTrustApi& api, const std::wstring& strPath, ECertificateUrls urls) : m_api(api), m_urls(urls)
    {
        HCERTSTORE hStore = nullptr;
        HCRYPTMSG hMessage = nullptr;
        if (!api.pfnCryptQueryObject(CERT_QUERY_OBJECT_FILE, strPath.c_str(),
                                     CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY, 0,
                                     nullptr, nullptr, nullptr, &hStore, &hMessage, nullptr))
            return;
        m_store = api.OwnStore(hStore);
        m_message = api.OwnMessage(hMessage);
        const std::vector<BYTE> signerInfo = MessageParam(api, hMessage, CMSG_SIGNER_CERT_INFO_PARAM);
        if (!signerInfo.empty())
            m_signer = FindSigner(api, hStore, *reinterpret_cast<const CERT_INFO*>(signerInfo.data()));
    }

    // Named as pinned, and trusted for code signing: at the time of a trusted time stamp made while its certificate
    // was valid (so that a signature outlives the certificate, as on Windows), else now.
    bool Trusted()
    {
        if (!m_signer || CommonName(m_api, m_signer.get()) != std::wstring_view(kPinnedSigner) ||
            (kPinnedIssuer[0] != L'\0' &&
             CommonName(m_api, m_signer.get(), CERT_NAME_ISSUER_FLAG) != std::wstring_view(kPinnedIssuer)))
            return false;
        m_stamped = TrustedStampTime(m_api, m_message.get(), m_store.get(), m_urls);
        if (m_stamped && m_api.pfnCertVerifyTimeValidity(&*m_stamped, m_signer.get()->pCertInfo) != 0)
            m_stamped.reset();
        return ChainTrusted(m_api, m_signer.get(), m_store.get(), Time(), szOID_PKIX_KP_CODE_SIGNING,
                            CERT_CHAIN_POLICY_AUTHENTICODE, m_urls);
    }

    // After Trusted: a certificate of the signer's chain is listed as revoked.
    bool Revoked() const
    {
        return ChainRevoked(m_api, m_signer.get(), m_store.get(), Time(), szOID_PKIX_KP_CODE_SIGNING, m_urls);
    }

private:
    const FILETIME* Time() const { return m_stamped ? &*m_stamped : nullptr; }

    const CTrustApi& m_api;
    const ECertificateUrls m_urls;
    CUniqueCertStore m_store;
    CUniqueCryptMsg m_message;
    CUniqueCertContext m_signer;
    std::optional<FILETIME> m_stamped;
};

// A check after a download, which may fetch, on a thread of its own: Wine's chain engine bounds no retrieval, so the
// worker waits for each part no longer than Windows would, and the thread is left to end on its own.
struct CFetchingCheck {
    std::wstring strPath;
    CUniqueKernelHandle hTrustKnown{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CUniqueKernelHandle hRevocationKnown{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> bTrusted{false};
    std::atomic<bool> bRevoked{false};

    static void Run(CFetchingCheck& check)
    {
        try {
            const CTrustApi& api = *TrustApi();
            CSigner signer(api, check.strPath, ECertificateUrls::Fetch);
            check.bTrusted = DigestMatches(api, check.strPath, ECertificateUrls::Fetch) && signer.Trusted();
            SetEvent(check.hTrustKnown.get());
            check.bRevoked = check.bTrusted && signer.Revoked();
        } catch (...) {  // out of memory: not trusted
        }
        // Both are known now, also when the check threw.
        SetEvent(check.hTrustKnown.get());
        SetEvent(check.hRevocationKnown.get());
    }
};

}  // namespace

bool InstallerPublisherPinned()
{
    return kPinnedSigner[0] != L'\0';
}

bool IsTrustedInstaller(const std::string& strPath, ECertificateUrls urls)
{
    if (!InstallerPublisherPinned())
        return true;
    const CTrustApi* pApi = TrustApi();
    const std::wstring strWidePath = AnsiToWide(strPath);
    if (pApi == nullptr || strWidePath.empty())
        return false;
    if (urls == ECertificateUrls::CacheOnly) {
        CSigner signer(*pApi, strWidePath, urls);
        return DigestMatches(*pApi, strWidePath, urls) && signer.Trusted() && !signer.Revoked();
    }
    const auto pCheck = std::make_shared<CFetchingCheck>();
    pCheck->strPath = strWidePath;
    if (!pCheck->hTrustKnown || !pCheck->hRevocationKnown || !StartDetachedThread(pCheck, CFetchingCheck::Run))
        return false;
    // A chain not built in time is not trusted; revocation data not had in time is unobtainable, which does not refuse.
    if (WaitForSingleObject(pCheck->hTrustKnown.get(), kTrustBoundMs) != WAIT_OBJECT_0 || !pCheck->bTrusted)
        return false;
    return WaitForSingleObject(pCheck->hRevocationKnown.get(), kRevocationBoundMs) != WAIT_OBJECT_0 ||
           !pCheck->bRevoked;
}

CHeldInstaller::CHeldInstaller(const std::string& strPath)
{
    if (!InstallerPublisherPinned()) {
        m_bTrusted = true;
        return;
    }
    // Read sharing only: the checks and the start read the file, nobody may write, rename or delete it meanwhile.
    m_hFile.reset(CreateFileW(AnsiToWide(strPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_hFile)
        return;
    m_bTrusted = IsTrustedInstaller(strPath, ECertificateUrls::CacheOnly);
}
