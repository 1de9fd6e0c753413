// An opened internet response whose body is read in pieces; its calls are bounded by the receive time-out.
#pragma once

#include "InternetCallThread.h"

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <memory>

class CInternetFile {
public:
    // Takes over hFile, opened on the session that owns pCalls.
    CInternetFile(HINTERNET hFile, std::shared_ptr<CInternetCallThread> pCalls, DWORD dwReceiveTimeoutMs);
    virtual ~CInternetFile();

    CInternetFile(const CInternetFile&) = delete;
    CInternetFile& operator=(const CInternetFile&) = delete;

    // Reads at most nCount bytes of the body: as many as have arrived, waiting only until the first of them
    // comes. Returns 0 at the end of the body. Throws CInternetException when the read fails, and with
    // ERROR_INTERNET_TIMEOUT when no data has come within the receive time-out.
    UINT Read(void* pBuffer, UINT nCount);

    // Releases the handle (after any call still running on it). Safe to call twice.
    void Close();

protected:
    // Runs job on the session's call thread; false when it did not finish within the receive time-out.
    bool CallWithinTimeout(std::function<void()> job) const;

    HINTERNET m_hFile;

private:
    std::shared_ptr<CInternetCallThread> m_pCalls;
    DWORD m_dwReceiveTimeout;
};
