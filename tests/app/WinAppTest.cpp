// The application object: entry, restart registration, registry key, help routing, message box, DLL search.
#include "AfxApi.h"
#include "WinApp.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class CTestApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        CWinApp::InitInstance();
        ++m_nInitCalls;
        if (m_bWantLoop)
            PostQuitMessage(kLoopExitCode);
        return m_bWantLoop ? TRUE : FALSE;
    }
    static constexpr int kLoopExitCode = 7;
    bool m_bWantLoop = false;
    int m_nInitCalls = 0;
};

}  // namespace

// A DLL in the current directory is found by a plain LoadLibrary until the search is restricted. The restriction
// lasts for the process and every entry below makes it, so this case comes first.
TEST(WinApp, DllSearchIsLimitedToTheSystemDirectory)
{
    ASSERT_TRUE(SetCurrentDirectoryW(TARNVIK_PROBE_DLL_DIR));
    HMODULE before = LoadLibraryW(L"tarnvik_probe.dll");
    ASSERT_NE(before, nullptr) << "the probe must load from the current directory to begin with";
    FreeLibrary(before);

    AfxRestrictDllSearch();
    HMODULE after = LoadLibraryW(L"tarnvik_probe.dll");
    EXPECT_EQ(after, nullptr);
    if (after != nullptr)
        FreeLibrary(after);
    EXPECT_NE(LoadLibraryW(L"wininet.dll"), nullptr) << "system DLLs still load";
}

TEST(WinApp, EntryRunsInitInstanceOnceAndEndsWithoutLoop)
{
    CTestApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr)), 0);
    EXPECT_EQ(app.m_nInitCalls, 1);
    EXPECT_EQ(app.m_strAppName, L"app_tests") << "the default name is the executable's";
}

TEST(WinApp, EntryRunsTheLoopWhenInitInstanceAsksForIt)
{
    CTestApp app;
    app.m_bWantLoop = true;
    EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr)), CTestApp::kLoopExitCode);
}

TEST(WinApp, NoApplicationObjectMeansNoRun)
{
    { CTestApp gone; }
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_NE(AfxWinMain(GetModuleHandleW(nullptr)), 0);
}

TEST(WinApp, RestartRegistrationFollowsTheSupportFlags)
{
    for (const DWORD flags : {DWORD{0}, AFX_RESTART_MANAGER_SUPPORT_RESTART}) {
        CTestApp app;
        app.m_dwRestartManagerSupportFlags = flags;
        app.InitInstance();
        EXPECT_EQ(app.m_bRestartRegistered, flags != 0) << flags;
    }
}

TEST(WinApp, RegistryKeyIsNamedButNothingIsWritten)
{
    CTestApp app;
    AfxWinMain(GetModuleHandleW(nullptr));
    const wchar_t key[] = L"TarnvikRegistryProbe应用程序";
    app.SetRegistryKey(key);
    EXPECT_EQ(app.m_strRegistryKey, key);
    EXPECT_EQ(app.m_strProfileName, L"app_tests");
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(L"Software\\") + key).c_str(), 0, KEY_READ, &opened),
              ERROR_FILE_NOT_FOUND);
}

TEST(WinApp, HelpCommandIsTheApplicationsAndNothingElseIs)
{
    CTestApp app;
    EXPECT_TRUE(app.OnCommand(ID_HELP));
    EXPECT_FALSE(app.OnCommand(IDOK));
    EXPECT_FALSE(app.OnCommand(IDC_DOWNLOAD));
}

TEST(WinApp, SocketsStart)
{
    WSADATA data = {};
    ASSERT_TRUE(AfxSocketInit(&data));
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, INVALID_SOCKET);
    closesocket(s);
    AfxSocketTerm();
}

TEST(WinApp, MessageBoxShowsTheStringUnownedUnderTheApplicationsName)
{
    CTestApp app;
    app.m_strAppName = L"TarnvikHSDownloader";
    std::wstring caption, text;
    HWND owner = reinterpret_cast<HWND>(1);
    const DWORD uiThread = GetCurrentThreadId();
    std::thread reader([&] {
        for (int i = 0; i < 100; ++i) {
            HWND box = FindWindowW(L"#32770", L"TarnvikHSDownloader");
            if (box != nullptr && GetWindowThreadProcessId(box, nullptr) == uiThread) {
                wchar_t buffer[256] = {};
                GetWindowTextW(box, buffer, 256);
                caption = buffer;
                GetDlgItemTextW(box, 0xFFFF, buffer, 256);
                text = buffer;
                owner = GetWindow(box, GW_OWNER);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
        ADD_FAILURE() << "no message box";
    });
    EXPECT_EQ(AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK), IDOK);
    reader.join();
    EXPECT_EQ(caption, L"TarnvikHSDownloader");
    EXPECT_EQ(text, L"Windows 套接字初始化失败。");
    EXPECT_EQ(owner, nullptr);
}

