// CTarnvikHSDownloaderApp: the application object that runs the main dialog and ends with it, and the entry.
#include "TarnvikHSDownloaderApp.h"

#include "AfxApi.h"
#include "ShellManager.h"
#include "TarnvikHSDownloaderDlg.h"
#include "VisualManager.h"

#include <commctrl.h>

#include <memory>
#include <new>

#include "resource.h"

namespace {
constexpr wchar_t kRegistryKey[] = L"应用程序向导生成的本地应用程序";
}

CTarnvikHSDownloaderApp::CTarnvikHSDownloaderApp()
{
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

CTarnvikHSDownloaderApp::~CTarnvikHSDownloaderApp() = default;

BOOL CTarnvikHSDownloaderApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED);
        return FALSE;
    }
    AfxEnableControlContainer();
    std::unique_ptr<CShellManager> shellManager(new (std::nothrow) CShellManager);
    CMFCVisualManager::SetDefaultManager<CMFCVisualManagerWindows>();
    SetRegistryKey(kRegistryKey);

    {
        CTarnvikHSDownloaderDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        shellManager.reset();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

CTarnvikHSDownloaderApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    return AfxWinMain(instance);
}
