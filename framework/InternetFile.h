// An opened internet response whose body streams in through a bounded read-ahead buffer.
#pragma once

#include "InternetCallThread.h"
#include "WinInetLibrary.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

class CInternetFile {
public:
    // What the read-ahead may hold before it waits for the reader.
    static constexpr size_t kReadAheadBytes = 4 * 1024 * 1024;

    // Takes over hFile, opened on the session whose calls pCalls runs. pKeepAlive is what must outlive the handle
    // (its session's handle, what its status callbacks point at): it is let go on the call thread, after the handle.
    CInternetFile(CUniqueInternetHandle hFile, std::shared_ptr<void> pKeepAlive,
                  std::shared_ptr<CInternetCallThread> pCalls, DWORD dwReceiveTimeoutMs);
    virtual ~CInternetFile();

    CInternetFile(const CInternetFile&) = delete;
    CInternetFile& operator=(const CInternetFile&) = delete;

    // Reads at most nCount bytes of the body: as many as have arrived, waiting only until the first of them
    // comes. Returns 0 at the end of the body. Throws CInternetException when the body failed, and with
    // ERROR_INTERNET_TIMEOUT when no byte has come within the receive time-out. The first Read starts reading
    // ahead on the session's call thread, which then stays busy with this body until it ends or the file closes.
    UINT Read(void* pBuffer, UINT nCount);

    // Releases the handle (after any call still running on it). Safe to call twice.
    void Close();

    bool IsOpen() const { return static_cast<bool>(m_hFile); }

private:
    struct CReadAhead;
    // The loop of the read-ahead, on the call thread: fills the buffer until the body ends, fails or is closed.
    static void ReadAheadLoop(HINTERNET hFile, CReadAhead& state);

    CUniqueInternetHandle m_hFile;
    std::shared_ptr<void> m_pKeepAlive;
    std::shared_ptr<CInternetCallThread> m_pCalls;
    DWORD m_dwReceiveTimeout;
    std::shared_ptr<CReadAhead> m_pReadAhead;  // shared with the read-ahead job, which may outlive the file
};
