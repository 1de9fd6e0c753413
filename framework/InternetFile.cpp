// An opened internet response whose body is read in pieces; its calls are bounded by the receive time-out.
#include "InternetFile.h"

#include "InternetException.h"
#include "WinInetLibrary.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Filled on the call thread; the reader copies it out only when the call finished in time.
struct CReadResult {
    std::vector<BYTE> buffer;
    DWORD dwRead = 0;
    DWORD dwError = ERROR_SUCCESS;
};

}  // namespace

CInternetFile::CInternetFile(HINTERNET hFile, std::shared_ptr<CInternetCallThread> pCalls, DWORD dwReceiveTimeoutMs)
    : m_hFile(hFile), m_pCalls(std::move(pCalls)), m_dwReceiveTimeout(dwReceiveTimeoutMs)
{
}

CInternetFile::~CInternetFile()
{
    Close();
}

UINT CInternetFile::Read(void* pBuffer, UINT nCount)
{
    if (m_hFile == nullptr)
        throw CInternetException(ERROR_INVALID_HANDLE);
    if (nCount == 0)
        return 0;

    auto pResult = std::make_shared<CReadResult>();
    pResult->buffer.resize(nCount);
    const HINTERNET hFile = m_hFile;
    // Waiting for data and taking what has arrived are two calls: a plain read blocks until the whole
    // count has come, so a slow but steady body would look stalled.
    const bool bInTime = CallWithinTimeout([pResult, hFile] {
        const CWinInetLibrary& api = *CWinInetLibrary::Get();
        DWORD dwAvailable = 0;
        if (!api.pfnInternetQueryDataAvailable(hFile, &dwAvailable, 0, 0)) {
            pResult->dwError = GetLastError();
            return;
        }
        const DWORD dwWanted = std::min<DWORD>(dwAvailable, static_cast<DWORD>(pResult->buffer.size()));
        if (dwWanted > 0 && !api.pfnInternetReadFile(hFile, pResult->buffer.data(), dwWanted, &pResult->dwRead))
            pResult->dwError = GetLastError();
    });
    if (!bInTime)
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    if (pResult->dwError != ERROR_SUCCESS)
        throw CInternetException(pResult->dwError);
    std::memcpy(pBuffer, pResult->buffer.data(), pResult->dwRead);
    return pResult->dwRead;
}

void CInternetFile::Close()
{
    if (m_hFile == nullptr)
        return;
    const HINTERNET hFile = m_hFile;
    m_hFile = nullptr;
    m_pCalls->Post([hFile] { CWinInetLibrary::Get()->pfnInternetCloseHandle(hFile); });
}

bool CInternetFile::CallWithinTimeout(std::function<void()> job) const
{
    return m_pCalls->Call(std::move(job), m_dwReceiveTimeout);
}
