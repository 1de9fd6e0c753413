// An opened internet response whose body streams in through a bounded read-ahead buffer.
#include "InternetFile.h"

#include "ExclusiveLock.h"
#include "InternetException.h"
#include "WinInetLibrary.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

// A ring buffer between the call thread (which appends) and the reader (which takes from the front).
// The call thread writes into the free part outside the lock; only the counters are shared under it.
struct CInternetFile::CReadAhead {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::vector<BYTE> ring = std::vector<BYTE>(kReadAheadBytes);
    size_t nStart = 0;   // the oldest byte not yet read
    size_t nFilled = 0;  // bytes waiting for the reader
    // The last time the network gave a byte, or the read-ahead went back to it after waiting for room:
    // the receive time-out counts from here.
    ULONGLONG nLastProgressTick = GetTickCount64();
    bool bEnded = false;            // the body has ended; nothing more comes
    DWORD dwError = ERROR_SUCCESS;  // why the body failed, once it has
    bool bClosed = false;           // the reader has closed the file: stop reading ahead
    // The call thread is waiting for the network (InternetQueryDataAvailable), not writing into the ring: a reader
    // who closes the file meanwhile releases the ring and closes the handle itself (see Close).
    bool bWaitingForNetwork = false;
};

CInternetFile::CInternetFile(CUniqueInternetHandle hFile, std::shared_ptr<void> pKeepAlive,
                             std::shared_ptr<CInternetCallThread> pCalls, DWORD dwReceiveTimeoutMs)
    : m_hFile(std::move(hFile)),
      m_pKeepAlive(std::move(pKeepAlive)),
      m_pCalls(std::move(pCalls)),
      m_dwReceiveTimeout(dwReceiveTimeoutMs)
{
}

CInternetFile::~CInternetFile()
{
    Close();
}

UINT CInternetFile::Read(void* pBuffer, UINT nCount)
{
    if (!m_hFile)
        throw CInternetException(ERROR_INVALID_HANDLE);
    if (nCount == 0)
        return 0;
    if (m_pReadAhead == nullptr) {
        try {
            m_pReadAhead = std::make_shared<CReadAhead>();
        } catch (const std::bad_alloc&) {
            throw CInternetException(ERROR_NOT_ENOUGH_MEMORY);
        }
        // The handle outlives the loop: its close is queued behind it.
        m_pCalls->Post([hFile = m_hFile.get(), pState = m_pReadAhead] { ReadAheadLoop(hFile, *pState); });
    }

    CReadAhead& state = *m_pReadAhead;
    CExclusiveLock lock(state.lock);
    for (;;) {
        if (state.nFilled > 0) {
            const size_t nTaken = std::min<size_t>(nCount, state.nFilled);
            const size_t nFirst = std::min(nTaken, state.ring.size() - state.nStart);
            std::memcpy(pBuffer, state.ring.data() + state.nStart, nFirst);
            std::memcpy(static_cast<BYTE*>(pBuffer) + nFirst, state.ring.data(), nTaken - nFirst);
            state.nStart = (state.nStart + nTaken) % state.ring.size();
            state.nFilled -= nTaken;
            WakeAllConditionVariable(&state.changed);
            return static_cast<UINT>(nTaken);
        }
        if (state.dwError != ERROR_SUCCESS)
            throw CInternetException(state.dwError);
        if (state.bEnded)
            return 0;
        const ULONGLONG nNow = GetTickCount64(), nGiveUp = state.nLastProgressTick + m_dwReceiveTimeout;
        if (nNow >= nGiveUp)
            throw CInternetException(ERROR_INTERNET_TIMEOUT);
        SleepConditionVariableSRW(&state.changed, &state.lock, static_cast<DWORD>(nGiveUp - nNow), 0);
    }
}

void CInternetFile::ReadAheadLoop(HINTERNET hFile, CReadAhead& state)
{
    const CWinInetLibrary& api = *CWinInetLibrary::Get();
    DWORD dwError = ERROR_SUCCESS;
    for (;;) {
        {
            CExclusiveLock lock(state.lock);
            if (state.nFilled == state.ring.size()) {
                while (state.nFilled == state.ring.size() && !state.bClosed)
                    SleepConditionVariableSRW(&state.changed, &state.lock, INFINITE, 0);
                state.nLastProgressTick = GetTickCount64();
            }
            if (state.bClosed)
                return;
            state.bWaitingForNetwork = true;
        }
        // Waiting for data and taking what has arrived are two calls: a plain read blocks until its whole
        // count has come, so a slow but steady body would look stalled. The read that takes what has arrived
        // does not wait, so it may take more than the one piece the wait reported.
        DWORD dwAvailable = 0, dwRead = 0;
        const BOOL bAvailable = api.pfnInternetQueryDataAvailable(hFile, &dwAvailable, 0, 0);
        const DWORD dwWaitError = GetLastError();
        size_t nEnd = 0, nRoom = 0;
        {
            CExclusiveLock lock(state.lock);
            state.bWaitingForNetwork = false;
            if (state.bClosed)
                return;  // the reader has released the ring and closed the handle meanwhile
            nEnd = (state.nStart + state.nFilled) % state.ring.size();
            nRoom = std::min(state.ring.size() - state.nFilled, state.ring.size() - nEnd);
        }
        if (!bAvailable) {
            dwError = dwWaitError;
            break;
        }
        if (dwAvailable > 0) {
            INTERNET_BUFFERSW buffers = {};
            buffers.dwStructSize = sizeof buffers;
            buffers.lpvBuffer = state.ring.data() + nEnd;
            buffers.dwBufferLength = static_cast<DWORD>(nRoom);
            if (!api.pfnInternetReadFileEx(hFile, &buffers, IRF_NO_WAIT, 0)) {
                dwError = GetLastError();
                break;
            }
            dwRead = buffers.dwBufferLength;
            // Should a build give nothing without waiting, take the reported piece the plain way.
            const DWORD dwWanted = static_cast<DWORD>(std::min<size_t>(dwAvailable, nRoom));
            if (dwRead == 0 && !api.pfnInternetReadFile(hFile, buffers.lpvBuffer, dwWanted, &dwRead)) {
                dwError = GetLastError();
                break;
            }
        }
        if (dwRead == 0)
            break;
        CExclusiveLock lock(state.lock);
        state.nFilled += dwRead;
        state.nLastProgressTick = GetTickCount64();
        WakeAllConditionVariable(&state.changed);
    }
    CExclusiveLock lock(state.lock);
    state.bEnded = true;
    state.dwError = dwError;
    WakeAllConditionVariable(&state.changed);
}

void CInternetFile::Close()
{
    if (!m_hFile)
        return;
    bool bCloseNow = false;
    if (m_pReadAhead != nullptr) {
        CExclusiveLock lock(m_pReadAhead->lock);
        m_pReadAhead->bClosed = true;
        // The call thread may wait for a body that never comes: a dead peer never closes the connection. Closing
        // the handle from here cancels that wait (as Windows documents for a call blocked in another thread), and
        // the ring is not in use during the wait, so neither waits for the peer.
        if (m_pReadAhead->bWaitingForNetwork) {
            std::vector<BYTE>().swap(m_pReadAhead->ring);
            bCloseNow = true;
        }
        WakeAllConditionVariable(&m_pReadAhead->changed);
    }
    m_pReadAhead.reset();
    if (bCloseNow)
        m_hFile.reset();
    // Else closed on the call thread, after every call still queued on the handle; what must outlive the handle
    // goes after it there in either case.
    const auto pHandle = std::make_shared<CUniqueInternetHandle>(std::move(m_hFile));
    m_pCalls->Post([pHandle, pKeepAlive = std::move(m_pKeepAlive)] { pHandle->reset(); });
}
