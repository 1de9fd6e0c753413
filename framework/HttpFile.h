// An opened HTTP response: its status code and length, read with the response's head, and its body.
#pragma once

#include "InternetFile.h"

#include <optional>

class CHttpFile : public CInternetFile {
public:
    // The response's status code and Content-Length (none when it has none that is a number), as its head said.
    CHttpFile(CUniqueInternetHandle hFile, std::shared_ptr<void> pKeepAlive, std::shared_ptr<CInternetCallThread> pCalls,
              DWORD dwReceiveTimeoutMs, DWORD dwStatusCode, std::optional<DWORD> contentLength);

    // The response's status code; FALSE once the file is closed.
    BOOL QueryInfoStatusCode(DWORD& dwStatusCode) const;

    // HTTP_QUERY_CONTENT_LENGTH (or HTTP_QUERY_STATUS_CODE) as a number; FALSE, with dwResult untouched, when the
    // response has none, for any other header, and once the file is closed. Nothing is asked of the network: a
    // query never waits behind the body.
    BOOL QueryInfo(DWORD dwInfoLevel, DWORD& dwResult) const;

private:
    DWORD m_dwStatusCode;
    std::optional<DWORD> m_contentLength;
};
