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
    HMODULE hModule = LoadSystemLibrary(L"wininet.dll");
    if (hModule == nullptr)
        return false;
    // The module stays loaded for the life of the process: calls may still run on abandoned call threads.
    return ResolveProc(hModule, "InternetOpenW", pfnInternetOpen)
        && ResolveProc(hModule, "InternetSetOptionW", pfnInternetSetOption)
        && ResolveProc(hModule, "InternetOpenUrlW", pfnInternetOpenUrl)
        && ResolveProc(hModule, "InternetQueryOptionW", pfnInternetQueryOption)
        && ResolveProc(hModule, "HttpQueryInfoW", pfnHttpQueryInfo)
        && ResolveProc(hModule, "InternetQueryDataAvailable", pfnInternetQueryDataAvailable)
        && ResolveProc(hModule, "InternetReadFile", pfnInternetReadFile)
        && ResolveProc(hModule, "InternetReadFileExW", pfnInternetReadFileEx)
        && ResolveProc(hModule, "InternetCloseHandle", pfnInternetCloseHandle)
        && ResolveProc(hModule, "InternetSetStatusCallbackW", pfnInternetSetStatusCallback)
        && ResolveProc(hModule, "InternetCombineUrlW", pfnInternetCombineUrl);
}
