// The Authenticode check of a downloaded installer: the digest, the signer's name, and the signer's chain, at the
// time of a trusted time stamp when the signature has one.
#include "InstallerSignature.h"

#include "SignatureTimeStamp.h"
#include "TextConversion.h"
#include "TrustApi.h"

#include <softpub.h>

#include <string_view>

namespace {

// A wide literal, so that the pinned name lies in the image as UTF-16 text where an image check can find it.
constexpr wchar_t kPinnedSigner[] = TARNVIK_INSTALLER_SIGNER;

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

// The common name of the certificate's subject, whole: a NUL inside it stays part of it.
std::wstring CommonName(const CTrustApi& api, PCCERT_CONTEXT pCert)
{
    void* pOid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD nChars = api.pfnCertGetNameString(pCert, CERT_NAME_ATTR_TYPE, 0, pOid, nullptr, 0);
    if (nChars <= 1)
        return {};
    std::wstring name(nChars, L'\0');
    const DWORD nCopied = api.pfnCertGetNameString(pCert, CERT_NAME_ATTR_TYPE, 0, pOid, name.data(), nChars);
    name.resize(nCopied > 0 ? nCopied - 1 : 0);  // less the terminator
    return name;
}

// The signer is read from the embedded signed message (Wine crashes when the signer is asked of WinVerifyTrust's
// state); then its name, and its chain for code signing: at the time of a trusted time stamp made while its
// certificate was valid (so that a signature outlives the certificate, as on Windows), else now.
bool SignerPinnedAndTrusted(const CTrustApi& api, const std::wstring& strPath)
{
    HCERTSTORE hStore = nullptr;
    HCRYPTMSG hMessage = nullptr;
    if (!api.pfnCryptQueryObject(CERT_QUERY_OBJECT_FILE, strPath.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                                 CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &hStore, &hMessage,
                                 nullptr))
        return false;
    const CStore storeOwner(hStore);
    const CMessage messageOwner(hMessage);
    const std::vector<BYTE> signerInfo = MessageParam(api, hMessage, CMSG_SIGNER_CERT_INFO_PARAM);
    if (signerInfo.empty())
        return false;
    const CCertificate signer = FindSigner(api, hStore, *reinterpret_cast<const CERT_INFO*>(signerInfo.data()));
    if (!signer || CommonName(api, signer.get()) != std::wstring_view(kPinnedSigner))
        return false;
    std::optional<FILETIME> stamped = TrustedStampTime(api, hMessage, hStore);
    if (stamped && api.pfnCertVerifyTimeValidity(&*stamped, signer->pCertInfo) != 0)
        stamped.reset();
    return ChainTrusted(api, signer.get(), hStore, stamped ? &*stamped : nullptr, szOID_PKIX_KP_CODE_SIGNING,
                        CERT_CHAIN_POLICY_AUTHENTICODE);
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
