// The whole program as a separate process: its window, a download through the TLS test server,
// the installer start, and every way it ends with exit code 0.
#include "PathHelpers.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TextConversion.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "resource.h"

namespace {

constexpr wchar_t kTitle[] = L"Tarnvik浏览器高速下载器";
constexpr DWORD kStepTimeoutMs = 15000;
const std::string kBody(200000, 'y');
constexpr size_t kHeldAfterBytes = 1000;

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = kStepTimeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

struct FindArgs {
    DWORD processId;
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND hWnd, LPARAM param)
{
    auto* args = reinterpret_cast<FindArgs*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == args->processId && IsWindowVisible(hWnd) && GetWindow(hWnd, GW_OWNER) == args->owner) {
        args->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

class CProgram {
public:
    ~CProgram()
    {
        if (m_process.hProcess != nullptr) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_process.hProcess, 99);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
    }

    bool Start()
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + std::wstring(TARNVIK_PROGRAM) + L"\"";
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &m_process))
            return false;
        return WaitFor([this] { return (m_hWnd = TopWindow(nullptr)) != nullptr; });
    }

    // A visible top-level window of the program with the given owner (none: the main window).
    HWND TopWindow(HWND owner) const
    {
        FindArgs args = {m_process.dwProcessId, owner, nullptr};
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&args));
        return args.found;
    }

    bool Shown(int id) const { return (GetWindowLongPtrW(GetDlgItem(m_hWnd, id), GWL_STYLE) & WS_VISIBLE) != 0; }
    void Click(int id) const { PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void SetFolder(const std::string& folder) const
    {
        const std::wstring wide = AnsiToWide(folder);
        SendMessageW(GetDlgItem(m_hWnd, IDC_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }

    // The exit code once the process has ended within timeoutMs, or -1.
    long WaitExit(DWORD timeoutMs = kStepTimeoutMs) const
    {
        if (WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<long>(code);
    }

    HWND m_hWnd = nullptr;

private:
    PROCESS_INFORMATION m_process = {};
};

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_server = std::make_unique<CScriptedServer>(testenv::BackendPort());
        ASSERT_TRUE(m_program.Start());
    }

    void TearDown() override { m_server->Release(); }

    // Starts a download into a new folder and waits until the program shows its progress.
    std::string StartDownload(CServerScript script, const char* tag)
    {
        m_server->On(testenv::kInstallerPath, std::move(script));
        const std::string folder = testenv::MakeScratchFolder(tag);
        m_program.SetFolder(folder);
        m_program.Click(IDC_DOWNLOAD);
        EXPECT_TRUE(WaitFor([this] { return m_program.Shown(IDC_PROGRESS); }));
        return folder;
    }

    CProgram m_program;
    std::unique_ptr<CScriptedServer> m_server;
};


}  // namespace

TEST_F(Program, ShowsItsCentredWindowAndEndsOnClose)
{
    wchar_t title[64] = {};
    GetWindowTextW(m_program.m_hWnd, title, 64);
    EXPECT_STREQ(title, kTitle);
    RECT window;
    GetWindowRect(m_program.m_hWnd, &window);
    EXPECT_EQ(window.right - window.left, 650);
    EXPECT_EQ(window.bottom - window.top, 360);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((window.left + window.right) - (work.left + work.right)), 2);
    EXPECT_TRUE(m_program.Shown(IDC_DOWNLOAD));

    // Escape and Enter never end the main window.
    for (const WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_RETURN}}) {
        PostMessageW(GetDlgItem(m_program.m_hWnd, IDC_PATH), WM_KEYDOWN, key, 0);
        PostMessageW(GetDlgItem(m_program.m_hWnd, IDC_PATH), WM_KEYUP, key, 0);
    }
    EXPECT_EQ(m_program.WaitExit(300), -1);

    m_program.Click(IDC_EXIT);
    EXPECT_EQ(m_program.WaitExit(2000), 0);
}

TEST_F(Program, DownloadsThenStartsTheInstallerAndEnds)
{
    const std::string installer = ReadWholeFile(testenv::InstallerFile()).value_or("");
    ASSERT_GT(installer.size(), 1000u);
    const std::string folder = StartDownload(CServerScript::Complete(installer), "program-install");
    ASSERT_TRUE(WaitFor([this] { return m_program.Shown(IDC_INSTALL); }));
    m_program.Click(IDC_INSTALL);
    EXPECT_EQ(m_program.WaitExit(), 0);
    EXPECT_TRUE(WaitFor([&] { return PathExists(folder + "TarnvikBrowser.exe.ran"); }, 5000));
}

TEST_F(Program, ConfirmedCloseDuringADownloadEndsWithinTheWait)
{
    StartDownload(CServerScript::HeldAfter(kBody, kHeldAfterBytes), "program-confirm");
    ASSERT_TRUE(m_server->WaitUntilHolding(kStepTimeoutMs));
    m_program.Click(IDC_EXIT);
    HWND tip = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (tip = m_program.TopWindow(m_program.m_hWnd)) != nullptr; }));
    const DWORD start = GetTickCount();
    PostMessageW(tip, WM_COMMAND, MAKEWPARAM(IDC_TIP_OK, BN_CLICKED), 0);
    EXPECT_EQ(m_program.WaitExit(), 0);
    EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(4000));
}

// The system menu's Close ends at once without stopping the worker, which is then inside a network read.
TEST_F(Program, SystemCloseDuringANetworkCallEndsCleanly)
{
    StartDownload(CServerScript::HeldAfter(kBody, kHeldAfterBytes), "program-altf4");
    ASSERT_TRUE(m_server->WaitUntilHolding(kStepTimeoutMs));
    PostMessageW(m_program.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(m_program.WaitExit(), 0);
}
