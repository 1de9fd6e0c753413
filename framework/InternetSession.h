// An internet session over WinINet: options, opening an address hop by hop, and bounded blocking calls.
#pragma once

#include "HttpFile.h"
#include "InternetCallThread.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

// Synchronous WinINet with time-outs that hold everywhere, per exchange as WinINet means them: the connect
// time-out bounds each step of opening an address without progress (name resolution, connection, the TLS
// handshake, which waits on the server twice and gets twice the time-out, request, each response head, each
// redirect hop), the receive time-out bounds the body's silence. A connection that keeps making progress is not cut for its total length, but all of opening
// stays within kOpenCeilingMs. Both time-outs are taken from SetOption; until then WinINet's defaults
// apply. A call that overruns fails with CInternetException(ERROR_INTERNET_TIMEOUT); it is left to end on
// its own thread.
//
// Failures of the constructor and of OpenURL are thrown as CInternetException. Close files opened through
// the session before the session itself.
class CInternetSession {
public:
    static constexpr DWORD kDefaultConnectTimeoutMs = 60000;
    static constexpr DWORD kDefaultReceiveTimeoutMs = 30000;
    // All of opening, every redirect hop included. A long link (700 ms round trip) needs about 3 s per hop
    // under Wine and a download address rarely has more than three hops: 30 s leaves room for three times
    // that, while a server that dribbles redirects, each step just within its time-out, holds the worker
    // no longer than WinINet's own default receive time-out.
    static constexpr DWORD kOpenCeilingMs = 30000;
    // A longer redirect chain is taken for a loop; a download address with a handful of hops is already unusual.
    static constexpr int kMaxRedirects = 10;

    // InternetOpen with these arguments, and the session's status callback, which tells the bounded calls
    // that a connection progresses (dwContext is kept for callers' symmetry; OpenURL's must not be 0).
    // Throws CInternetException when WinINet cannot be loaded or the session cannot be opened.
    explicit CInternetSession(LPCWSTR pstrAgent = nullptr, DWORD_PTR dwContext = 1,
                              DWORD dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG, LPCWSTR pstrProxyName = nullptr,
                              LPCWSTR pstrProxyBypass = nullptr, DWORD dwFlags = 0);
    ~CInternetSession();

    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // InternetSetOption on the session handle. The connect, receive and data-receive time-outs also become
    // the session's own bounds.
    BOOL SetOption(DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength);

    // Opens the address (a GET for http and https), following redirects, and returns the response. Throws
    // CInternetException when it cannot be opened; with ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR when an https
    // address redirects to anything but https (before any request goes there) or was answered over plain
    // http; with ERROR_HTTP_REDIRECT_FAILED after more than kMaxRedirects redirects.
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
