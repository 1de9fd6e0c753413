// How long one opening call may wait at each step of its exchange, from WinINet's status notices.
#include "ExchangeProgress.h"

#include "ExclusiveLock.h"

#include <wininet.h>

#include <utility>

namespace {

// The notices that announce a step of the exchange itself (others tell of handles, cookies or proxy detection).
bool IsStep(DWORD dwStatus)
{
    switch (dwStatus) {
    case INTERNET_STATUS_RESOLVING_NAME:
    case INTERNET_STATUS_NAME_RESOLVED:
    case INTERNET_STATUS_CONNECTING_TO_SERVER:
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
    case INTERNET_STATUS_SENDING_REQUEST:
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RECEIVING_RESPONSE:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
    case INTERNET_STATUS_REDIRECT:
    case INTERNET_STATUS_CLOSING_CONNECTION:
    case INTERNET_STATUS_CONNECTION_CLOSED:
        return true;
    default:
        return false;
    }
}

}  // namespace

CExchangeProgress::CExchangeProgress(bool bHttps, DWORD dwSilenceMs)
    : m_bHttps(bHttps), m_dwSilenceMs(dwSilenceMs), m_progress(kProxyDetectionMs + dwSilenceMs)
{
}

void CExchangeProgress::Start()
{
    CExclusiveLock lock(m_lock);
    m_bFirstResponseToCome = false;
    OpenLongWait(0, kProxyDetectionMs);
}

void CExchangeProgress::OpenLongWait(DWORD dwEndsAt, DWORD dwMs)
{
    m_bLongWait = true;
    m_dwLongWaitEndsAt = dwEndsAt;
    m_progress.AllowFromNow(dwMs + m_dwSilenceMs);
}

void CExchangeProgress::OnStatus(DWORD dwStatus)
{
    CExclusiveLock lock(m_lock);
    if (m_bLongWait) {
        if (m_dwLongWaitEndsAt == 0 ? !IsStep(dwStatus) : dwStatus != m_dwLongWaitEndsAt)
            return;
        m_bLongWait = false;
    }
    const DWORD dwHandshakeAndChainMs = kHandshakeSilences * m_dwSilenceMs + kChainCheckMs;
    switch (dwStatus) {
    case INTERNET_STATUS_DETECTING_PROXY:
        OpenLongWait(0, kProxyDetectionMs);
        return;
    case INTERNET_STATUS_RESOLVING_NAME:
        OpenLongWait(INTERNET_STATUS_NAME_RESOLVED, kNameResolutionMs);
        return;
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
        m_bFirstResponseToCome = true;
        if (m_bHttps) {
            OpenLongWait(INTERNET_STATUS_SENDING_REQUEST, dwHandshakeAndChainMs);
            return;
        }
        break;
    case INTERNET_STATUS_RESPONSE_RECEIVED:
        // Through a proxy the first response on a connection answers CONNECT, and the handshake with the server
        // follows; without one it is the server's own, and the call returns at once, ending the wait with it.
        if (std::exchange(m_bFirstResponseToCome, false) && m_bHttps) {
            OpenLongWait(INTERNET_STATUS_SENDING_REQUEST, dwHandshakeAndChainMs);
            return;
        }
        break;
    }
    m_progress.AllowFromNow(m_dwSilenceMs);
}
