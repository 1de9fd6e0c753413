// Free functions of the application framework: DLL search, message boxes, sockets, control container.
#include "AfxApi.h"

#include "SystemLibrary.h"
#include "WinApp.h"

#include <string>

namespace {

bool g_socketsStarted = false;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

std::wstring LoadResourceString(UINT id)
{
    const wchar_t* text = nullptr;
    // With a zero buffer length LoadStringW hands out a read-only pointer into the resource.
    const int length = LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

}  // namespace

void AfxRestrictDllSearch()
{
    // Absent from Windows 7 without its 2011 update: looked up, never imported.
    SetDefaultDllDirectoriesFn setDefaultDllDirectories = nullptr;
    if (ResolveProc(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories", setDefaultDllDirectories))
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

int AfxMessageBox(UINT promptId, UINT type, UINT /*helpId*/)
{
    const CWinApp* app = AfxGetApp();
    const std::wstring caption = app != nullptr ? app->m_strAppName : std::wstring();
    return MessageBoxW(nullptr, LoadResourceString(promptId).c_str(), caption.c_str(), type);
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
