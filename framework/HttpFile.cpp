// An opened HTTP response: its status code and numeric headers, and its body through CInternetFile.
#include "HttpFile.h"

#include "WinInetLibrary.h"

namespace {

struct CQueryResult {
    DWORD dwValue = 0;
    DWORD dwIndex = 0;
    BOOL bOk = FALSE;
};

}  // namespace

BOOL CHttpFile::QueryInfoStatusCode(DWORD& dwStatusCode) const
{
    return QueryInfo(HTTP_QUERY_STATUS_CODE, dwStatusCode);
}

BOOL CHttpFile::QueryInfo(DWORD dwInfoLevel, DWORD& dwResult, LPDWORD lpdwIndex) const
{
    if (m_hFile == nullptr)
        return FALSE;
    auto pResult = std::make_shared<CQueryResult>();
    pResult->dwIndex = lpdwIndex != nullptr ? *lpdwIndex : 0;
    const bool bWithIndex = lpdwIndex != nullptr;
    const HINTERNET hFile = m_hFile;
    const bool bInTime = CallWithinTimeout([pResult, hFile, dwInfoLevel, bWithIndex] {
        DWORD dwSize = sizeof pResult->dwValue;
        pResult->bOk = CWinInetLibrary::Get()->pfnHttpQueryInfo(hFile, dwInfoLevel | HTTP_QUERY_FLAG_NUMBER,
                                                                &pResult->dwValue, &dwSize,
                                                                bWithIndex ? &pResult->dwIndex : nullptr);
    });
    if (!bInTime || !pResult->bOk)
        return FALSE;
    dwResult = pResult->dwValue;
    if (lpdwIndex != nullptr)
        *lpdwIndex = pResult->dwIndex;
    return TRUE;
}
