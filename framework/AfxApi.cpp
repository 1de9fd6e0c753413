// Free functions of the application framework: DLL search, sockets, control container.
#include "AfxApi.h"

#include "SystemLibrary.h"

namespace {

bool g_socketsStarted = false;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

void AfxRestrictDllSearch()
{
    // Absent from Windows 7 without its 2011 update: looked up, never imported.
    SetDefaultDllDirectoriesFn setDefaultDllDirectories = nullptr;
    if (ResolveProc(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories", setDefaultDllDirectories))
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

bool AfxSocketInit(WSADATA* data)
{
    WSADATA local = {};
    if (WSAStartup(MAKEWORD(2, 2), data != nullptr ? data : &local) != 0)
        return false;
    g_socketsStarted = true;
    return true;
}

void AfxSocketTerm()
{
    if (g_socketsStarted)
        WSACleanup();
    g_socketsStarted = false;
}

void AfxEnableControlContainer() {}
