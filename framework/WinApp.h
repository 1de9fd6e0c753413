// CWinApp: the one application object, its start-up services and the program's entry.
#pragma once

#include "Object.h"

#include <windows.h>

#include <string>

class CWnd;

// Bits of CWinApp::m_dwRestartManagerSupportFlags.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;

// The framework's help command.
constexpr UINT ID_HELP = 0xE146;

class CWinApp : public CObject {
public:
    // An empty name takes the executable's file name without its extension.
    explicit CWinApp(const wchar_t* appName = nullptr);
    ~CWinApp() override;

    // The framework's own initialisation: registers the process for restart when asked to.
    // TRUE runs the application's message loop, FALSE ends the application.
    virtual BOOL InitInstance();
    // The message loop run after InitInstance returned TRUE; its result is the exit code.
    virtual int Run();
    virtual int ExitInstance();

    // Commands that no window handled; true when this object handled it.
    virtual bool OnCommand(UINT id);
    void OnHelp();

    // Names the registry key for per-user settings; writes nothing to the registry.
    void SetRegistryKey(const wchar_t* key);

    std::wstring m_strAppName;
    std::wstring m_strRegistryKey;
    std::wstring m_strProfileName;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;
    // Whether InitInstance registered the process with the Restart Manager.
    bool m_bRestartRegistered = false;
    int m_nExitCode = 0;
};

// The one application object, or null before it is made and after it is gone.
CWinApp* AfxGetApp();
// The module the program's dialog templates, strings and bitmaps come from.
HINSTANCE AfxGetResourceHandle();

// Shows the string-table entry `promptId` in an unowned message box captioned with the application's name.
// helpId (-1: the prompt's own identifier) is kept for a help system the program does not ship.
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));

// The program's entry, called by wWinMain: restricts DLL loading, runs the application object
// (InitInstance, then Run when it asks for a loop) and returns the exit code.
int AfxWinMain(HINSTANCE instance);
