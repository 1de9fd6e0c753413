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
    const bool bWithIndex = lpdwIndex != nullptr;
    const auto pResult = CallForResult<CQueryResult>(
        [hFile = m_hFile, dwInfoLevel, bWithIndex, dwIndex = bWithIndex ? *lpdwIndex : 0](CQueryResult& result) {
            result.dwIndex = dwIndex;
            DWORD dwSize = sizeof result.dwValue;
            result.bOk = CWinInetLibrary::Get()->pfnHttpQueryInfo(hFile, dwInfoLevel | HTTP_QUERY_FLAG_NUMBER,
                                                                  &result.dwValue, &dwSize,
                                                                  bWithIndex ? &result.dwIndex : nullptr);
        });
    if (pResult == nullptr || !pResult->bOk)
        return FALSE;
    dwResult = pResult->dwValue;
    if (lpdwIndex != nullptr)
        *lpdwIndex = pResult->dwIndex;
    return TRUE;
}
