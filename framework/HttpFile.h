// An opened HTTP response: its status code and numeric headers, and its body through CInternetFile.
#pragma once

#include "InternetFile.h"

class CHttpFile : public CInternetFile {
public:
    using CInternetFile::CInternetFile;

    // The response's status code; FALSE when it cannot be read.
    BOOL QueryInfoStatusCode(DWORD& dwStatusCode) const;

    // A header as a number (HTTP_QUERY_FLAG_NUMBER is added); FALSE, with dwResult untouched, when the
    // header is missing or not a number.
    BOOL QueryInfo(DWORD dwInfoLevel, DWORD& dwResult, LPDWORD lpdwIndex = nullptr) const;
};
