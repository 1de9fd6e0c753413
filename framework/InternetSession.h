// An internet session over WinINet: options, opening an address hop by hop, and bounded blocking calls.
#pragma once

#include "HttpFile.h"
#include "InternetCallThread.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

// Synchronous WinINet with time-outs that hold everywhere and are never stricter than Windows. Opening an
// address waits at each step of the exchange as long as Windows would (CExchangeProgress): one silence of the
// connect time-out for most steps (connecting, sending, each response head, each redirect hop), Windows' own bounds
// for the waits it makes with no notice (proxy detection, the name, the TLS handshake with the chain's check), and
// all of opening stays within kOpenCeilingMs. The receive time-out bounds the body's silence; a connection that
// keeps making progress is not cut for its total length. Both time-outs are taken from SetOption; until then
// WinINet's defaults apply. A call that overruns fails with CInternetException(ERROR_INTERNET_TIMEOUT); it is left
// to end on its own thread.
//
// Failures of the constructor and of OpenURL are thrown as CInternetException. The session and its files may be
// closed in any order: the session's handle lasts until the last of them lets go.
class CInternetSession {
public:
    static constexpr DWORD kDefaultConnectTimeoutMs = 60000;
    static constexpr DWORD kDefaultReceiveTimeoutMs = 30000;
    // All of opening, every redirect hop included. One hop whose every silent wait takes as long as Windows allows
    // (proxy detection, the name, the handshake with the chain's check) lasts some 90 s; 120 s leaves room for a
    // quick redirect or two besides, and ends a server that dribbles redirects, each step just in time.
    static constexpr DWORD kOpenCeilingMs = 120000;
    // A longer redirect chain is taken for a loop; a download address with a handful of hops is already unusual.
    static constexpr int kMaxRedirects = 10;

    // InternetOpen with these arguments, and the session's status callback, which tells the bounded calls how
    // far a connection has come (dwContext is kept for callers' symmetry: WinINet is given the layer's own).
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

    // Lets go of the session handle (closed after any call still running on it, and after its files). Safe to call
    // twice.
    void Close();

private:
    std::shared_ptr<CUniqueInternetHandle> m_pSession;
    std::shared_ptr<CInternetCallThread> m_pCalls;
    DWORD m_dwConnectTimeout = kDefaultConnectTimeoutMs;
    DWORD m_dwReceiveTimeout = kDefaultReceiveTimeoutMs;
};
