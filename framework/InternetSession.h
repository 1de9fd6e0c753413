// An internet session over WinINet: options, opening an address, and bounded blocking calls.
#pragma once

#include "HttpFile.h"
#include "InternetCallThread.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

// Synchronous WinINet with time-outs that hold everywhere: the connect time-out bounds opening an address
// (connection, TLS, request and response head together) and the receive time-out bounds every read of a
// response opened here. Both are taken from SetOption; until then WinINet's defaults apply. A call that
// overruns fails with CInternetException(ERROR_INTERNET_TIMEOUT); it is left to end on its own thread.
//
// Failures of the constructor and of OpenURL are thrown as CInternetException. Close files opened through
// the session before the session itself.
class CInternetSession {
public:
    static constexpr DWORD kDefaultConnectTimeoutMs = 60000;
    static constexpr DWORD kDefaultReceiveTimeoutMs = 30000;

    // InternetOpen with these arguments (dwContext is kept for callers' symmetry: no status callback is used).
    // Throws CInternetException when WinINet cannot be loaded or the
    // session cannot be opened.
    explicit CInternetSession(LPCWSTR pstrAgent = nullptr, DWORD_PTR dwContext = 1,
                              DWORD dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG, LPCWSTR pstrProxyName = nullptr,
                              LPCWSTR pstrProxyBypass = nullptr, DWORD dwFlags = 0);
    ~CInternetSession();

    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // InternetSetOption on the session handle. The connect, receive and data-receive time-outs also become
    // the session's own bounds.
    BOOL SetOption(DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength);

    // Opens the address (a GET for http and https) and returns the response. Throws CInternetException when
    // it cannot be opened, and with ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR when an https address ended up
    // answered over plain http after redirections.
    std::unique_ptr<CHttpFile> OpenURL(LPCWSTR pstrURL, DWORD_PTR dwContext = 1,
                                       DWORD dwFlags = INTERNET_FLAG_TRANSFER_ASCII, LPCWSTR pstrHeaders = nullptr,
                                       DWORD dwHeadersLength = 0);

    // Releases the session handle (after any call still running on it). Safe to call twice.
    void Close();

private:
    HINTERNET m_hSession = nullptr;
    std::shared_ptr<CInternetCallThread> m_pCalls;
    DWORD m_dwConnectTimeout = kDefaultConnectTimeoutMs;
    DWORD m_dwReceiveTimeout = kDefaultReceiveTimeoutMs;
};
