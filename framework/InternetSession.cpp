// An internet session over WinINet: options, opening an address hop by hop, and bounded blocking calls.
#include "InternetSession.h"

#include "ExchangeProgress.h"
#include "InternetException.h"
#include "WinInetLibrary.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kHttpStatusFirstRedirect = 300;
constexpr DWORD kHttpStatusLastRedirect = 399;

// What opening the session leaves: its handle, or why there is none (GetLastError right after the call).
struct COpened {
    CUniqueInternetHandle hHandle;
    DWORD dwError = ERROR_SUCCESS;
};

// One hop: the response's handle, or why there is none, and what its head said. The progress is what the handle's
// status callbacks point at: declared first, it goes after the handle.
struct COpenResult {
    std::shared_ptr<CExchangeProgress> pProgress;
    CUniqueInternetHandle hHandle;
    DWORD dwError = ERROR_SUCCESS;
    DWORD dwStatus = 0;
    std::optional<DWORD> contentLength;
    std::wstring strLocation;  // the redirect's target as sent, empty for any other answer
    std::wstring strFinalUrl;
};

// What an opened response's handle needs for as long as it is open: its session's handle (a parent's close would
// close it too) and what its status callbacks point at.
struct CResponseKeepAlive {
    std::shared_ptr<CUniqueInternetHandle> pSession;
    std::shared_ptr<CExchangeProgress> pProgress;
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

// A text-valued option or header (a wide string); empty when it cannot be read.
template <typename Query>
std::wstring QueryText(Query query)
{
    DWORD dwBytes = 0;
    query(nullptr, &dwBytes);
    if (dwBytes == 0)
        return {};
    std::vector<wchar_t> text(dwBytes / sizeof(wchar_t) + 1);
    if (!query(text.data(), &dwBytes))
        return {};
    return text.data();
}

// Every status notice of an opening call tells its request's progress how long the call may wait now. Notices
// without a context (the session's own) have nothing to tell.
void CALLBACK OnInternetStatus(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, LPVOID, DWORD)
{
    if (dwContext != 0)
        CExchangeProgress::FromContext(dwContext)->OnStatus(dwStatus);
}

// One hop: opens the address without following a redirect and reads what decides the next hop.
void OpenOneHop(const CWinInetLibrary& api, HINTERNET hSession, const std::wstring& strUrl,
                const std::wstring& strHeaders, DWORD dwFlags, const std::shared_ptr<CExchangeProgress>& pProgress,
                COpenResult& result)
{
    result.pProgress = pProgress;
    pProgress->Start();
    result.hHandle.reset(api.pfnInternetOpenUrl(hSession, strUrl.c_str(),
                                                strHeaders.empty() ? nullptr : strHeaders.c_str(),
                                                static_cast<DWORD>(strHeaders.size()),
                                                dwFlags | INTERNET_FLAG_NO_AUTO_REDIRECT, pProgress->Context()));
    if (!result.hHandle) {
        result.dwError = GetLastError();
        return;
    }
    const HINTERNET hRequest = result.hHandle.get();
    const auto number = [&](DWORD dwInfoLevel) -> std::optional<DWORD> {
        DWORD dwValue = 0, dwSize = sizeof dwValue;
        if (!api.pfnHttpQueryInfo(hRequest, dwInfoLevel | HTTP_QUERY_FLAG_NUMBER, &dwValue, &dwSize, nullptr))
            return std::nullopt;
        return dwValue;
    };
    // The head is all here now: what the caller asks of it is read at once, never behind the body.
    result.dwStatus = number(HTTP_QUERY_STATUS_CODE).value_or(0);
    result.contentLength = number(HTTP_QUERY_CONTENT_LENGTH);
    if (result.dwStatus >= kHttpStatusFirstRedirect && result.dwStatus <= kHttpStatusLastRedirect) {
        result.strLocation = QueryText([&](wchar_t* pBuffer, DWORD* pBytes) {
            return api.pfnHttpQueryInfo(hRequest, HTTP_QUERY_LOCATION, pBuffer, pBytes, nullptr);
        });
    }
    result.strFinalUrl = QueryText([&](wchar_t* pBuffer, DWORD* pBytes) {
        return api.pfnInternetQueryOption(hRequest, INTERNET_OPTION_URL, pBuffer, pBytes);
    });
}

// A fragment names a part of the document for the client alone; it is never part of a request. A redirect's
// Location may carry one.
std::wstring WithoutFragment(std::wstring strUrl)
{
    strUrl.resize(std::min(strUrl.size(), strUrl.find(L'#')));
    return strUrl;
}

// The address a redirect leads to, resolved against the address that sent it; empty when it is no address.
std::wstring ResolveLocation(const CWinInetLibrary& api, const std::wstring& strBase, const std::wstring& strLocation)
{
    return QueryText([&](wchar_t* pBuffer, DWORD* pBytes) {
        // InternetCombineUrl counts characters, and wants room for the terminator.
        DWORD dwChars = pBuffer == nullptr ? 0 : *pBytes / sizeof(wchar_t);
        const BOOL bOk = api.pfnInternetCombineUrl(strBase.c_str(), strLocation.c_str(), pBuffer, &dwChars, ICU_NO_ENCODE);
        *pBytes = (dwChars + 1) * sizeof(wchar_t);
        return bOk;
    });
}

// Runs an opening call on the call thread within the bound and returns what it left. A call that does not end
// in time is left to end on its own; its result, and the handle it made, go with it there. Throws
// CInternetException with the call's error, or with ERROR_INTERNET_TIMEOUT.
template <typename Result>
std::shared_ptr<Result> OpenOnCallThread(CInternetCallThread& calls, std::function<void(Result&)> open,
                                         CInternetCallThread::CBound bound)
{
    const std::shared_ptr<Result> pResult = calls.CallForResult(std::move(open), bound);
    if (pResult == nullptr)
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    if (!pResult->hHandle)
        throw CInternetException(pResult->dwError);
    return pResult;
}

}  // namespace

CInternetSession::CInternetSession(LPCWSTR pstrAgent, [[maybe_unused]] DWORD_PTR dwContext, DWORD dwAccessType,
                                   LPCWSTR pstrProxyName, LPCWSTR pstrProxyBypass, DWORD dwFlags)
{
    const CWinInetLibrary& api = RequireWinInet();
    m_pCalls = std::make_shared<CInternetCallThread>();

    const bool bProxy = pstrProxyName != nullptr, bBypass = pstrProxyBypass != nullptr;
    const auto open = [&api, strAgent = CopyOrEmpty(pstrAgent), dwAccessType, strProxy = CopyOrEmpty(pstrProxyName),
                       strBypass = CopyOrEmpty(pstrProxyBypass), bProxy, bBypass, dwFlags](COpened& result) {
        result.hHandle.reset(api.pfnInternetOpen(strAgent.c_str(), dwAccessType, bProxy ? strProxy.c_str() : nullptr,
                                                 bBypass ? strBypass.c_str() : nullptr, dwFlags));
        result.dwError = GetLastError();
        // Handles opened from the session inherit the callback (it runs only for a non-zero context).
        if (result.hHandle)
            api.pfnInternetSetStatusCallback(result.hHandle.get(), OnInternetStatus);
    };
    m_pSession = std::make_shared<CUniqueInternetHandle>(
        std::move(OpenOnCallThread<COpened>(*m_pCalls, open, {m_dwConnectTimeout})->hHandle));
}

CInternetSession::~CInternetSession()
{
    Close();
}

BOOL CInternetSession::SetOption(DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength)
{
    if (m_pSession == nullptr || lpBuffer == nullptr)
        return FALSE;
    if (dwBufferLength == sizeof(DWORD)) {
        const DWORD dwValue = *static_cast<const DWORD*>(lpBuffer);
        if (dwOption == INTERNET_OPTION_CONNECT_TIMEOUT)
            m_dwConnectTimeout = dwValue;
        else if (dwOption == INTERNET_OPTION_RECEIVE_TIMEOUT || dwOption == INTERNET_OPTION_DATA_RECEIVE_TIMEOUT)
            m_dwReceiveTimeout = dwValue;
    }

    const BYTE* pBytes = static_cast<const BYTE*>(lpBuffer);
    const auto pOk = m_pCalls->CallForResult<BOOL>(
        [hSession = m_pSession->get(), dwOption, value = std::vector<BYTE>(pBytes, pBytes + dwBufferLength)](BOOL& bOk) mutable {
            bOk = CWinInetLibrary::Get()->pfnInternetSetOption(hSession, dwOption, value.data(),
                                                               static_cast<DWORD>(value.size()));
        },
        {m_dwConnectTimeout});
    return pOk != nullptr && *pOk;
}

std::unique_ptr<CHttpFile> CInternetSession::OpenURL(LPCWSTR pstrURL, DWORD_PTR, DWORD dwFlags,
                                                     LPCWSTR pstrHeaders, DWORD dwHeadersLength)
{
    if (m_pSession == nullptr || pstrURL == nullptr)
        throw CInternetException(ERROR_INVALID_HANDLE);

    const CWinInetLibrary& api = *CWinInetLibrary::Get();
    const HINTERNET hSession = m_pSession->get();
    const std::wstring strHeaders =
        pstrHeaders != nullptr ? std::wstring(pstrHeaders, dwHeadersLength == DWORD(-1) ? wcslen(pstrHeaders)
                                                                                         : dwHeadersLength)
                               : std::wstring();
    const bool bHttpsOnly = HasScheme(pstrURL, L"https:");
    const ULONGLONG nCeilingTick = GetTickCount64() + kOpenCeilingMs;
    std::wstring strUrl = WithoutFragment(pstrURL);
    // Redirects are followed here, one bounded open per hop, so that each hop's address is checked before
    // any request goes to it.
    for (int nHop = 0;; ++nHop) {
        auto pProgress = std::make_shared<CExchangeProgress>(HasScheme(strUrl, L"https:"), m_dwConnectTimeout);
        const std::shared_ptr<COpenResult> pResult = OpenOnCallThread<COpenResult>(
            *m_pCalls,
            [&api, hSession, strUrl, strHeaders, dwFlags, pProgress](COpenResult& result) {
                OpenOneHop(api, hSession, strUrl, strHeaders, dwFlags, pProgress, result);
            },
            {m_dwConnectTimeout, nCeilingTick, &pProgress->Progress()});
        auto pFile = std::make_unique<CHttpFile>(std::move(pResult->hHandle),
                                                 std::make_shared<CResponseKeepAlive>(m_pSession, pProgress), m_pCalls,
                                                 m_dwReceiveTimeout, pResult->dwStatus,
                                                 pResult->contentLength);  // closes on throw
        // Some WinINet builds follow a redirect from https down to http without a word; such an answer is as
        // untrustworthy as one with a bad certificate. An address that cannot be read counts as not https.
        if (bHttpsOnly && !HasScheme(pResult->strFinalUrl, L"https:"))
            throw CInternetException(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        if (pResult->strLocation.empty())
            return pFile;
        if (nHop == kMaxRedirects)
            throw CInternetException(ERROR_HTTP_REDIRECT_FAILED);
        strUrl = WithoutFragment(ResolveLocation(api, strUrl, pResult->strLocation));
        if (strUrl.empty())
            throw CInternetException(ERROR_HTTP_INVALID_HEADER);
        if (bHttpsOnly && !HasScheme(strUrl, L"https:"))
            throw CInternetException(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
    }
}

void CInternetSession::Close()
{
    // The session's handle closes on the call thread once the session and every file opened on it have let go.
    if (m_pSession != nullptr)
        m_pCalls->Post([pSession = std::move(m_pSession)] {});
}
