// Loading Windows' own DLLs at run time from the system directory.
#include "SystemLibrary.h"

#include <string>

// LOAD_LIBRARY_SEARCH_SYSTEM32 needs Windows 8, or Windows 7 with its loader update; without it the flag is
// rejected as an invalid parameter, and the full path in the system directory names the same file.
HMODULE LoadSystemLibrary(const wchar_t* pszName)
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
