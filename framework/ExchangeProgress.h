// How long one opening call may wait at each step of its exchange, from WinINet's status notices.
#pragma once

#include "InternetCallThread.h"

#include <windows.h>
#include <wincrypt.h>

// Most steps of an exchange are bounded on Windows by WinINet's own time-outs, one silence each (connecting,
// sending, each wait for the response). A few waits happen inside a step, with no notice, and Windows bounds them
// otherwise; each gets that bound here, and only its own end closes it (a notice within it never shortens it):
//   - before the exchange's first step, and while INTERNET_STATUS_DETECTING_PROXY: proxy auto-detection, which
//     asks DHCP, then the DNS for wpad, then fetches the script;
//   - from INTERNET_STATUS_RESOLVING_NAME to INTERNET_STATUS_NAME_RESOLVED: the system's resolver;
//   - on https, from INTERNET_STATUS_CONNECTED_TO_SERVER (or the proxy's answer to CONNECT) to
//     INTERNET_STATUS_SENDING_REQUEST: the TLS handshake, then the check of the server's chain, which may fetch
//     missing intermediates and revocation data.
// WinINet calls back on whatever thread it chooses; the callback finds this object through the request's context.
class CExchangeProgress {
public:
    // DHCP alone can take 15 to 20 s to give up; the DNS query for wpad then gets the resolver's time.
    static constexpr DWORD kProxyDetectionMs = 20000 + 10000;
    // The resolver asks again after 1, 2, 4 and 8 s and gives up at 10 s.
    static constexpr DWORD kNameResolutionMs = 10000;
    // The chain check's URL retrievals: an intermediate over its AIA address, then revocation data for the chain.
    static constexpr DWORD kChainCheckMs = CERT_CHAIN_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT +
                                           CERT_CHAIN_REV_ACCUMULATIVE_URL_RETRIEVAL_TIMEOUT_MILLISECONDS_DEFAULT;
    // The handshake waits on the server twice (its hello, then its finish), a silence each.
    static constexpr DWORD kHandshakeSilences = 2;

    // dwSilenceMs: what a step may be silent for (the connect time-out); it is also the margin of every long wait.
    CExchangeProgress(bool bHttps, DWORD dwSilenceMs);

    CExchangeProgress(const CExchangeProgress&) = delete;
    CExchangeProgress& operator=(const CExchangeProgress&) = delete;

    // The call begins (on the call thread): the wait before its first step.
    void Start();
    // A status notice of the call's request, from any thread.
    void OnStatus(DWORD dwStatus);
    // The bound a caller waits by.
    const CInternetCallThread::CProgress& Progress() const { return m_progress; }

    // The context that leads WinINet's callback here.
    DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }
    static CExchangeProgress* FromContext(DWORD_PTR dwContext) { return reinterpret_cast<CExchangeProgress*>(dwContext); }

private:
    // A wait that only a given notice ends; 0: the exchange's first step (any notice of a step).
    void OpenLongWait(DWORD dwEndsAt, DWORD dwMs);

    const bool m_bHttps;
    const DWORD m_dwSilenceMs;
    CInternetCallThread::CProgress m_progress;
    SRWLOCK m_lock = SRWLOCK_INIT;
    bool m_bLongWait = false;            // a long wait is open
    DWORD m_dwLongWaitEndsAt = 0;        // the notice that ends it
    ULONGLONG m_nLongWaitUntil = 0;      // and when it runs out
    bool m_bFirstResponseToCome = false; // the connection has had no response yet
};
