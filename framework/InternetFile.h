// An opened internet response whose body streams in through a bounded read-ahead buffer.
#pragma once

#include "InternetCallThread.h"

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <memory>

class CInternetFile {
public:
    // What the read-ahead may hold before it waits for the reader.
    static constexpr size_t kReadAheadBytes = 4 * 1024 * 1024;

    // Takes over hFile, opened on the session that owns pCalls. pCallbackContext is what the handle's status
    // callbacks point at (its context), kept until the handle is closed.
    CInternetFile(HINTERNET hFile, std::shared_ptr<CInternetCallThread> pCalls, DWORD dwReceiveTimeoutMs,
                  std::shared_ptr<void> pCallbackContext = nullptr);
    virtual ~CInternetFile();

    CInternetFile(const CInternetFile&) = delete;
    CInternetFile& operator=(const CInternetFile&) = delete;

    // Reads at most nCount bytes of the body: as many as have arrived, waiting only until the first of them
    // comes. Returns 0 at the end of the body. Throws CInternetException when the body failed, and with
    // ERROR_INTERNET_TIMEOUT when no byte has come within the receive time-out.
    //
    // The first Read starts reading ahead on the session's call thread, which then stays busy with this
    // body until it ends or the file is closed: make every other call on the session before it.
    UINT Read(void* pBuffer, UINT nCount);

    // Releases the handle (after any call still running on it). Safe to call twice.
    void Close();

protected:
    // CInternetCallThread::CallForResult on the session's call thread, bounded by the receive time-out.
    template <typename Result>
    std::shared_ptr<Result> CallForResult(std::function<void(Result&)> job) const
    {
        return m_pCalls->CallForResult(std::move(job), {m_dwReceiveTimeout});
    }

    HINTERNET m_hFile;

private:
    struct CReadAhead;
    // The loop of the read-ahead, on the call thread: fills the buffer until the body ends, fails or is closed.
    static void ReadAheadLoop(HINTERNET hFile, CReadAhead& state);

    std::shared_ptr<CInternetCallThread> m_pCalls;
    DWORD m_dwReceiveTimeout;
    std::shared_ptr<void> m_pCallbackContext;
    std::shared_ptr<CReadAhead> m_pReadAhead;  // shared with the read-ahead job, which may outlive the file
};
