// The few WinINet entry points the internet session uses, loaded at run time from the system directory.
#include "WinInetLibrary.h"

#include <string>

namespace {

// GetProcAddress hands out an untyped entry point; the declared type of the system's own prototype is
// its real type, so this is the one place where an entry point is given that type.
template <typename Function>
bool Resolve(HMODULE hModule, const char* pszName, Function& pfn)
{
    pfn = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(hModule, pszName)));
    return pfn != nullptr;
}

// LOAD_LIBRARY_SEARCH_SYSTEM32 needs Windows 8, or Windows 7 with its loader update; without it the flag is
// rejected as an invalid parameter, and the full path in the system directory names the same file.
HMODULE LoadFromSystemDirectory(const wchar_t* pszName)
{
    if (HMODULE hModule = LoadLibraryExW(pszName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return hModule;
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    wchar_t szFolder[MAX_PATH] = {};
    const UINT nLength = GetSystemDirectoryW(szFolder, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return nullptr;
    const std::wstring strPath = std::wstring(szFolder, nLength) + L"\\" + pszName;
    return LoadLibraryExW(strPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

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
    HMODULE hModule = LoadFromSystemDirectory(L"wininet.dll");
    if (hModule == nullptr)
        return false;
    // The module stays loaded for the life of the process: calls may still run on abandoned call threads.
    return Resolve(hModule, "InternetOpenW", pfnInternetOpen)
        && Resolve(hModule, "InternetSetOptionW", pfnInternetSetOption)
        && Resolve(hModule, "InternetOpenUrlW", pfnInternetOpenUrl)
        && Resolve(hModule, "InternetQueryOptionW", pfnInternetQueryOption)
        && Resolve(hModule, "HttpQueryInfoW", pfnHttpQueryInfo)
        && Resolve(hModule, "InternetQueryDataAvailable", pfnInternetQueryDataAvailable)
        && Resolve(hModule, "InternetReadFile", pfnInternetReadFile)
        && Resolve(hModule, "InternetReadFileExW", pfnInternetReadFileEx)
        && Resolve(hModule, "InternetCloseHandle", pfnInternetCloseHandle)
        && Resolve(hModule, "InternetSetStatusCallbackW", pfnInternetSetStatusCallback)
        && Resolve(hModule, "InternetCombineUrlW", pfnInternetCombineUrl);
}
