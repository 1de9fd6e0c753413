// An internet session over WinINet: options, opening an address, and bounded blocking calls.
#include "InternetSession.h"

#include "InternetException.h"
#include "WinInetLibrary.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

struct COpenResult {
    HINTERNET hFile = nullptr;
    DWORD dwError = ERROR_SUCCESS;
    std::wstring strFinalUrl;
};

const CWinInetLibrary& RequireWinInet()
{
    const CWinInetLibrary* pApi = CWinInetLibrary::Get();
    if (pApi == nullptr)
        throw CInternetException(GetLastError());
    return *pApi;
}

std::wstring CopyOrEmpty(LPCWSTR psz)
{
    return psz != nullptr ? std::wstring(psz) : std::wstring();
}

bool HasScheme(const std::wstring& strUrl, const wchar_t* pszScheme)
{
    return _wcsnicmp(strUrl.c_str(), pszScheme, wcslen(pszScheme)) == 0;
}

// The address that finally answered, after redirections; empty when it cannot be read.
std::wstring QueryFinalUrl(const CWinInetLibrary& api, HINTERNET hFile)
{
    DWORD dwBytes = 0;
    api.pfnInternetQueryOption(hFile, INTERNET_OPTION_URL, nullptr, &dwBytes);
    if (dwBytes == 0)
        return {};
    std::vector<wchar_t> url(dwBytes / sizeof(wchar_t) + 1);
    if (!api.pfnInternetQueryOption(hFile, INTERNET_OPTION_URL, url.data(), &dwBytes))
        return {};
    return url.data();
}

}  // namespace

CInternetSession::CInternetSession(LPCWSTR pstrAgent, [[maybe_unused]] DWORD_PTR dwContext, DWORD dwAccessType,
                                   LPCWSTR pstrProxyName, LPCWSTR pstrProxyBypass, DWORD dwFlags)
{
    const CWinInetLibrary& api = RequireWinInet();
    m_pCalls = std::make_shared<CInternetCallThread>();

    struct COpenSessionResult {
        HINTERNET hSession = nullptr;
        DWORD dwError = ERROR_SUCCESS;
    };
    auto pResult = std::make_shared<COpenSessionResult>();
    const bool bProxy = pstrProxyName != nullptr, bBypass = pstrProxyBypass != nullptr;
    const bool bInTime = m_pCalls->Call(
        [&api, pResult, strAgent = CopyOrEmpty(pstrAgent), dwAccessType, strProxy = CopyOrEmpty(pstrProxyName),
         strBypass = CopyOrEmpty(pstrProxyBypass), bProxy, bBypass, dwFlags] {
            pResult->hSession = api.pfnInternetOpen(strAgent.c_str(), dwAccessType,
                                                    bProxy ? strProxy.c_str() : nullptr,
                                                    bBypass ? strBypass.c_str() : nullptr, dwFlags);
            pResult->dwError = GetLastError();
        },
        m_dwConnectTimeout);
    if (!bInTime) {
        m_pCalls->Post([&api, pResult] {
            if (pResult->hSession != nullptr)
                api.pfnInternetCloseHandle(pResult->hSession);
        });
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    }
    if (pResult->hSession == nullptr)
        throw CInternetException(pResult->dwError);
    m_hSession = pResult->hSession;
}

CInternetSession::~CInternetSession()
{
    Close();
}

BOOL CInternetSession::SetOption(DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength)
{
    if (m_hSession == nullptr || lpBuffer == nullptr)
        return FALSE;
    if (dwBufferLength == sizeof(DWORD)) {
        const DWORD dwValue = *static_cast<const DWORD*>(lpBuffer);
        if (dwOption == INTERNET_OPTION_CONNECT_TIMEOUT)
            m_dwConnectTimeout = dwValue;
        else if (dwOption == INTERNET_OPTION_RECEIVE_TIMEOUT || dwOption == INTERNET_OPTION_DATA_RECEIVE_TIMEOUT)
            m_dwReceiveTimeout = dwValue;
    }

    auto pOk = std::make_shared<BOOL>(FALSE);
    const BYTE* pBytes = static_cast<const BYTE*>(lpBuffer);
    std::vector<BYTE> value(pBytes, pBytes + dwBufferLength);
    const HINTERNET hSession = m_hSession;
    const bool bInTime = m_pCalls->Call(
        [pOk, hSession, dwOption, value = std::move(value)]() mutable {
            *pOk = CWinInetLibrary::Get()->pfnInternetSetOption(hSession, dwOption, value.data(),
                                                                static_cast<DWORD>(value.size()));
        },
        m_dwConnectTimeout);
    return bInTime && *pOk;
}

std::unique_ptr<CHttpFile> CInternetSession::OpenURL(LPCWSTR pstrURL, DWORD_PTR dwContext, DWORD dwFlags,
                                                     LPCWSTR pstrHeaders, DWORD dwHeadersLength)
{
    if (m_hSession == nullptr || pstrURL == nullptr)
        throw CInternetException(ERROR_INVALID_HANDLE);

    const CWinInetLibrary& api = *CWinInetLibrary::Get();
    auto pResult = std::make_shared<COpenResult>();
    const HINTERNET hSession = m_hSession;
    const std::wstring strHeaders =
        pstrHeaders != nullptr ? std::wstring(pstrHeaders, dwHeadersLength == DWORD(-1) ? wcslen(pstrHeaders)
                                                                                         : dwHeadersLength)
                               : std::wstring();
    const bool bInTime = m_pCalls->Call(
        [&api, pResult, hSession, strUrl = std::wstring(pstrURL), strHeaders, dwFlags, dwContext] {
            pResult->hFile = api.pfnInternetOpenUrl(hSession, strUrl.c_str(),
                                                    strHeaders.empty() ? nullptr : strHeaders.c_str(),
                                                    static_cast<DWORD>(strHeaders.size()), dwFlags, dwContext);
            if (pResult->hFile == nullptr)
                pResult->dwError = GetLastError();
            else
                pResult->strFinalUrl = QueryFinalUrl(api, pResult->hFile);
        },
        m_dwConnectTimeout);
    auto closeResponse = [&] {
        m_pCalls->Post([&api, pResult] {
            if (pResult->hFile != nullptr)
                api.pfnInternetCloseHandle(pResult->hFile);
        });
    };
    if (!bInTime) {
        closeResponse();  // runs once the abandoned open has returned
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    }
    if (pResult->hFile == nullptr)
        throw CInternetException(pResult->dwError);
    // Some WinINet builds follow a redirect from https down to http without a word; such an answer is as
    // untrustworthy as one with a bad certificate. An address that cannot be read counts as not https.
    if (HasScheme(pstrURL, L"https:") && !HasScheme(pResult->strFinalUrl, L"https:")) {
        closeResponse();
        throw CInternetException(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
    }
    return std::make_unique<CHttpFile>(pResult->hFile, m_pCalls, m_dwReceiveTimeout);
}

void CInternetSession::Close()
{
    if (m_hSession == nullptr)
        return;
    const HINTERNET hSession = m_hSession;
    m_hSession = nullptr;
    m_pCalls->Post([hSession] { CWinInetLibrary::Get()->pfnInternetCloseHandle(hSession); });
}
