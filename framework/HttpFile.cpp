// An opened HTTP response: its status code and length, read with the response's head, and its body.
#include "HttpFile.h"

CHttpFile::CHttpFile(CUniqueInternetHandle hFile, std::shared_ptr<void> pKeepAlive,
                     std::shared_ptr<CInternetCallThread> pCalls, DWORD dwReceiveTimeoutMs, DWORD dwStatusCode,
                     std::optional<DWORD> contentLength)
    : CInternetFile(std::move(hFile), std::move(pKeepAlive), std::move(pCalls), dwReceiveTimeoutMs),
      m_dwStatusCode(dwStatusCode),
      m_contentLength(contentLength)
{
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& dwStatusCode) const
{
    return QueryInfo(HTTP_QUERY_STATUS_CODE, dwStatusCode);
}

BOOL CHttpFile::QueryInfo(DWORD dwInfoLevel, DWORD& dwResult) const
{
    const std::optional<DWORD> value = !IsOpen()                                  ? std::nullopt
                                       : dwInfoLevel == HTTP_QUERY_STATUS_CODE    ? std::optional(m_dwStatusCode)
                                       : dwInfoLevel == HTTP_QUERY_CONTENT_LENGTH ? m_contentLength
                                                                                  : std::nullopt;
    if (!value)
        return FALSE;
    dwResult = *value;
    return TRUE;
}
