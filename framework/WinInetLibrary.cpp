// The few WinINet entry points the internet session uses, loaded at run time from the system directory.
#include "WinInetLibrary.h"

#include "SystemLibrary.h"

const CWinInetLibrary* CWinInetLibrary::Get()
{
    static CWinInetLibrary library;
    static const DWORD dwLoadError = library.Load() ? ERROR_SUCCESS : GetLastError();
    if (dwLoadError != ERROR_SUCCESS) {
        SetLastError(dwLoadError);
        return nullptr;
    }
    return &library;
}

bool CWinInetLibrary::Load()
{
    // The module stays loaded for the life of the process: calls may still run on abandoned call threads.
    return ResolveProcs(LoadSystemLibrary(L"wininet.dll"),
                        {{"InternetOpenW", pfnInternetOpen},
                         {"InternetSetOptionW", pfnInternetSetOption},
                         {"InternetOpenUrlW", pfnInternetOpenUrl},
                         {"InternetQueryOptionW", pfnInternetQueryOption},
                         {"HttpQueryInfoW", pfnHttpQueryInfo},
                         {"InternetQueryDataAvailable", pfnInternetQueryDataAvailable},
                         {"InternetReadFile", pfnInternetReadFile},
                         {"InternetReadFileExW", pfnInternetReadFileEx},
                         {"InternetCloseHandle", pfnInternetCloseHandle},
                         {"InternetSetStatusCallbackW", pfnInternetSetStatusCallback},
                         {"InternetCombineUrlW", pfnInternetCombineUrl}});
}
