// CWinApp: the one application object, its message box and the program's entry.
#include "WinApp.h"

#include "AfxApi.h"
#include "ResourceModule.h"

namespace {
CWinApp* g_app = nullptr;

std::wstring LoadResourceString(UINT id)
{
    const wchar_t* text = nullptr;
    // With a zero buffer length LoadStringW hands out a read-only pointer into the resource.
    const int length = LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

std::wstring ExecutableBaseName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name.erase(0, name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}
}  // namespace

CWinApp::CWinApp(const wchar_t* appName)
    : m_strAppName(appName != nullptr ? appName : L"")
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART)
        m_bRestartRegistered = SUCCEEDED(RegisterApplicationRestart(nullptr, 0));
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    m_nExitCode = got == 0 ? static_cast<int>(msg.wParam) : m_nExitCode;
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return m_nExitCode;
}

bool CWinApp::OnCommand(UINT id)
{
    switch (id) {
    case ID_HELP:
        OnHelp();
        return true;
    default:
        return false;
    }
}

// The program ships no help file: help has nothing to open.
void CWinApp::OnHelp() {}

void CWinApp::SetRegistryKey(const wchar_t* key)
{
    m_strRegistryKey = key != nullptr ? key : L"";
    m_strProfileName = m_strAppName;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetResourceHandle()
{
    return GetResourceModule();
}

int AfxMessageBox(UINT promptId, UINT type, UINT /*helpId*/)
{
    const CWinApp* app = AfxGetApp();
    const std::wstring caption = app != nullptr ? app->m_strAppName : std::wstring();
    return MessageBoxW(nullptr, LoadResourceString(promptId).c_str(), caption.c_str(), type);
}

int AfxWinMain(HINSTANCE instance)
{
    AfxRestrictDllSearch();
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    app->m_hInstance = instance;
    if (app->m_strAppName.empty())
        app->m_strAppName = ExecutableBaseName();

    const int exitCode = app->InitInstance() ? app->Run() : app->ExitInstance();
    AfxSocketTerm();
    return exitCode;
}
