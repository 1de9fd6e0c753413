// Loading Windows' own DLLs at run time: from the system directory only, and their entry points by name.
#pragma once

#include <windows.h>

// The DLL of that name in the system directory, or nullptr (GetLastError tells why). Never searches the
// program's folder, where a planted copy could lie.
HMODULE LoadSystemLibrary(const wchar_t* pszName);

// GetProcAddress hands out an untyped entry point; the declared type of the system's own prototype is its real
// type, so this is the one place where an entry point is given that type. False when the entry point is missing.
template <typename Function>
bool ResolveProc(HMODULE hModule, const char* pszName, Function& pfn)
{
    pfn = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, pszName)));
    return pfn != nullptr;
}
