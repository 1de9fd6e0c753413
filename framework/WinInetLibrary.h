// The few WinINet entry points the internet session uses, loaded at run time from the system directory.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>
#include <wininet.h>

// wininet.dll is not a known DLL: a static import would be resolved from the program's own folder first
// (typically Downloads), so the library is loaded explicitly from System32 instead.
class CWinInetLibrary {
public:
    // The loaded library, or nullptr when it or one of its entry points is missing (GetLastError tells why).
    // Loaded once per process; safe to call from any thread.
    static const CWinInetLibrary* Get();

    decltype(&::InternetOpenW) pfnInternetOpen = nullptr;
    decltype(&::InternetSetOptionW) pfnInternetSetOption = nullptr;
    decltype(&::InternetOpenUrlW) pfnInternetOpenUrl = nullptr;
    decltype(&::InternetQueryOptionW) pfnInternetQueryOption = nullptr;
    decltype(&::HttpQueryInfoW) pfnHttpQueryInfo = nullptr;
    decltype(&::InternetQueryDataAvailable) pfnInternetQueryDataAvailable = nullptr;
    decltype(&::InternetReadFile) pfnInternetReadFile = nullptr;
    decltype(&::InternetReadFileExW) pfnInternetReadFileEx = nullptr;
    decltype(&::InternetCloseHandle) pfnInternetCloseHandle = nullptr;
    decltype(&::InternetSetStatusCallbackW) pfnInternetSetStatusCallback = nullptr;
    decltype(&::InternetCombineUrlW) pfnInternetCombineUrl = nullptr;

private:
    bool Load();
};

// A WinINet handle, closed with InternetCloseHandle (the library is loaded by then: the handle came from it).
struct CInternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    void Close(Handle hInternet) const { CWinInetLibrary::Get()->pfnInternetCloseHandle(hInternet); }
};
using CUniqueInternetHandle = CUniqueHandle<CInternetHandleTraits>;
