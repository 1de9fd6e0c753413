// The main dialog as a real window: geometry, the five views, the system menu, and every transition
// driven by its commands and by a real worker downloading from the TLS test server.
#include "PathHelpers.h"
#include "ScriptedServer.h"
#include "TarnvikHSDownloaderDlg.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "WindowTest.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <atomic>
#include <thread>
#include <string>

#include "resource.h"

using namespace wintest;

namespace {

constexpr int kWidth = 650;
constexpr int kHeight = 360;
constexpr DWORD kDownloadTimeoutMs = 15000;
// Install checks the file with cached data alone: a wait on the network would take seconds.
constexpr ULONGLONG kInstallAtOnceMs = 5000;
constexpr size_t kHeldAfterBytes = 1000;
// How often, and how many times, a script running inside a modal loop looks for the window it answers.
constexpr UINT kAnswerPeriodMs = 30;
constexpr UINT kUnownedBoxPeriodMs = 50;
constexpr int kLookTries = 100;

// What the server serves: the test installer signed by the publisher the test build pins, the only file a
// download keeps.
const std::string& SignedInstaller()
{
    static const std::string bytes = ReadWholeFile(testenv::InstallerFile()).value_or("");
    return bytes;
}

RECT ItemRect(HWND dialog, int id)
{
    RECT rc;
    GetWindowRect(GetDlgItem(dialog, id), &rc);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool Shown(HWND dialog, int id)
{
    return (GetWindowLongPtrW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

// Pixels of a bitmap resource, in the same layout as a capture.
CPixels BitmapPixels(UINT id)
{
    CPixels pixels;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr)
        return pixels;
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    pixels.width = info.bmWidth;
    pixels.height = info.bmHeight;
    for (int y = 0; y < info.bmHeight; ++y) {
        for (int x = 0; x < info.bmWidth; ++x)
            pixels.data.push_back(GetPixel(dc, x, y));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return pixels;
}

// Share of the pixels of `shot` inside [origin, origin + image size) that equal the image's.
double Match(const CPixels& shot, const CPixels& image, int originX = 0, int originY = 0)
{
    if (image.width == 0)
        return 0;
    int equal = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x)
            equal += shot.At(originX + x, originY + y) == image.At(x, y);
    }
    return static_cast<double>(equal) / (image.width * image.height);
}

// Share of the background pixels (outside every visible control) that show the given bitmap.
double BackgroundMatch(HWND dialog, UINT bitmapId)
{
    const CPixels shot = CaptureClient(dialog);
    const CPixels image = BitmapPixels(bitmapId);
    std::vector<RECT> covered;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)
            covered.push_back(ItemRect(dialog, GetDlgCtrlID(child)));
    }
    int total = 0, equal = 0;
    for (int y = 0; y < image.height && y < shot.height; y += 3) {
        for (int x = 0; x < image.width && x < shot.width; x += 3) {
            const POINT p = {x, y};
            bool skip = false;
            for (const RECT& rc : covered)
                skip = skip || PtInRect(&rc, p);
            if (skip)
                continue;
            ++total;
            equal += shot.At(x, y) == image.At(x, y);
        }
    }
    return total ? static_cast<double>(equal) / total : 0;
}

double ButtonMatch(HWND dialog, int id, UINT bitmapId)
{
    RedrawWindow(GetDlgItem(dialog, id), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpFor(30);
    return Match(CaptureClient(GetDlgItem(dialog, id)), BitmapPixels(bitmapId));
}

// Runs `act` on the window `find` returns, from inside the loop that runs then (typically the window's own modal
// loop); looks again every periodMs until the window is there or the tries are spent.
void ActWhenShown(std::function<HWND()> find, std::function<void(HWND)> act, UINT periodMs, int tries = kLookTries)
{
    RunSoon(
        [find, act, periodMs, tries] {
            if (const HWND window = find()) {
                act(window);
                return;
            }
            if (tries > 0)
                ActWhenShown(find, act, periodMs, tries - 1);
        },
        periodMs);
}

// What the first "提示" message box of this thread said, and to which owner, once answered with OK.
struct CMessageBoxAnswer {
    std::wstring text;
    HWND owner = reinterpret_cast<HWND>(-1);
    bool seen = false;
};

void AnswerMessageBoxSoon(CMessageBoxAnswer& answer)
{
    ActWhenShown(
        [] {
            const HWND box = FindWindowW(L"#32770", L"提示");
            return box != nullptr && GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId() ? box : nullptr;
        },
        [&answer](HWND box) {
            wchar_t text[256] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 256);
            answer.text = text;
            answer.owner = GetWindow(box, GW_OWNER);
            answer.seen = true;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        },
        kAnswerPeriodMs);
}

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override { RecreateDialog(); }

    // A new main dialog in place of the one before (none on the first call).
    void RecreateDialog()
    {
        if (IsWindow(m_hWnd))
            DestroyWindow(m_hWnd);
        m_dlg = std::make_unique<CTarnvikHSDownloaderDlg>();
        ASSERT_TRUE(m_dlg->Create(nullptr));
        m_hWnd = m_dlg->m_hWnd;
        PumpFor(50);
    }

    void TearDown() override
    {
        CancelScripts();
        if (IsWindow(m_hWnd))
            DestroyWindow(m_hWnd);
        // A worker still running keeps its own share of the job record; let it finish before the next test. The
        // server lets go first, so that the dialog's end does not wait for a held download.
        if (m_server)
            m_server->Release();
        std::weak_ptr<CDownloadJob> job = m_dlg->m_job;
        m_dlg.reset();
        PumpUntil([&] { return job.expired(); }, kDownloadTimeoutMs);
    }

    void Command(int id)
    {
        SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_hWnd, id)));
    }

    bool WaitView(int state, DWORD timeoutMs = kDownloadTimeoutMs)
    {
        return PumpUntil([&] { return m_dlg->m_nViewState == state; }, timeoutMs);
    }

    // Serves `script` as https://localhost:PORT/TarnvikBrowser.exe and points the path box at a new folder.
    std::string PrepareDownload(CServerScript script, const char* tag)
    {
        if (!m_server)
            m_server = std::make_unique<CScriptedServer>(testenv::BackendPort());
        m_server->On(testenv::kInstallerPath, std::move(script));
        const std::string folder = testenv::MakeScratchFolder(tag);
        m_dlg->m_editPath.SetPathText(folder);
        return folder;
    }

    // Starts a download that the server holds after its first bytes, and waits for the downloading view.
    // Cut after the hold, the connection ends without the rest of the body.
    std::string StartHeldDownload(const char* tag, bool cutAfterHold = false)
    {
        CServerScript script = cutAfterHold
            ? CServerScript().Send(CServerScript::Head(200, SignedInstaller().size()) + SignedInstaller().substr(0, kHeldAfterBytes)).Hold()
            : CServerScript::HeldAfter(SignedInstaller(), kHeldAfterBytes);
        const std::string folder = PrepareDownload(std::move(script), tag);
        Command(IDC_DOWNLOAD);
        EXPECT_TRUE(WaitView(VS_DOWNLOADING));
        EXPECT_TRUE(m_server->WaitUntilHolding(kDownloadTimeoutMs));
        return folder;
    }

    // Answers the confirmation with the given button once it is on screen; runs inside its modal loop.
    void AnswerTipSoon(int button, std::function<void()> before = nullptr)
    {
        ActWhenShown(
            [this] {
                const CTipWndDlg& tip = m_dlg->m_tipDlg;
                return tip.m_bOpen && IsWindowVisible(tip.m_hWnd) ? tip.m_hWnd : nullptr;
            },
            [this, button, before](HWND tip) {
                m_bTipSeen = true;
                if (before)
                    before();
                if (button != 0)
                    PostMessageW(tip, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            },
            kAnswerPeriodMs);
    }

    std::unique_ptr<CTarnvikHSDownloaderDlg> m_dlg;
    HWND m_hWnd = nullptr;
    std::unique_ptr<CScriptedServer> m_server;
    bool m_bTipSeen = false;
};

}  // namespace

TEST_F(MainDialog, GeometryWithTheShippedBitmaps)
{
    RECT window;
    GetWindowRect(m_hWnd, &window);
    EXPECT_EQ(window.right - window.left, kWidth);
    EXPECT_EQ(window.bottom - window.top, kHeight);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((window.left + window.right) / 2 - (work.left + work.right) / 2), 1);
    EXPECT_LE(std::abs((window.top + window.bottom) / 2 - (work.top + work.bottom) / 2), 1);

    struct Placement { int id; int x, y, w, h; };
    const Placement expected[] = {
        {IDC_EXIT, 618, 20, 12, 12},         {IDC_MINIMIZE, 592, 20, 12, 12},
        {IDC_DOWNLOAD, 255, 269, 140, 39},   {IDC_INSTALL, 255, 269, 140, 39},
        {IDC_REDOWNLOAD, 255, 269, 140, 39}, {IDC_PROGRESS, 78, 340, 494, 10},
        {IDC_PATH, 163, 189, 324, 24},       {IDC_BROWSE, 488, 184, 43, 30},
    };
    for (const Placement& p : expected) {
        const RECT rc = ItemRect(m_hWnd, p.id);
        EXPECT_EQ(rc.left, p.x) << p.id;
        EXPECT_EQ(rc.top, p.y) << p.id;
        EXPECT_EQ(rc.right - rc.left, p.w) << p.id;
        EXPECT_EQ(rc.bottom - rc.top, p.h) << p.id;
    }
    // The status texts stand on a line 5 px above the bar: size left, percent centred, speed right.
    for (const int id : {IDC_FILE_SIZE, IDC_PERCENT, IDC_SPEED})
        EXPECT_EQ(ItemRect(m_hWnd, id).bottom, 335) << id;
    EXPECT_EQ(ItemRect(m_hWnd, IDC_FILE_SIZE).left, 29);
    EXPECT_EQ(ItemRect(m_hWnd, IDC_SPEED).right, 621);
    const RECT percent = ItemRect(m_hWnd, IDC_PERCENT);
    EXPECT_EQ(percent.left, 325 - (percent.right - percent.left) / 2);
    // Each is wide and tall enough for its longest text in its own font, so no text is cut off.
    const std::pair<int, const wchar_t*> widest[] = {
        {IDC_FILE_SIZE, L"文件大小: 2047.9 MB"}, {IDC_FILE_SIZE, L"文件大小: 1023.9 KB"},
        {IDC_PERCENT, L"已下载 100.0 %"},       {IDC_SPEED, L"下载速度: 2047.9 mb/s"},
        {IDC_SPEED, L"下载速度: 1023.9 kb/s"},  {IDC_SPEED, L"下载速度: 1024.0 b/s"}};
    for (const auto& [id, text] : widest) {
        HWND label = GetDlgItem(m_hWnd, id);
        HDC dc = GetDC(label);
        const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent);
        SelectObject(dc, previous);
        ReleaseDC(label, dc);
        RECT client;
        GetClientRect(label, &client);
        EXPECT_GE(client.right, extent.cx) << id;
        EXPECT_GE(client.bottom, extent.cy) << id;
    }
    // The plain buttons keep their template size, 50 px from the right and 20 px from the bottom.
    for (const int id : {IDC_STOP, IDC_GIVEUP}) {
        const RECT rc = ItemRect(m_hWnd, id);
        EXPECT_EQ(rc.right, 600) << id;
        EXPECT_EQ(rc.bottom, 340) << id;
    }
}

TEST_F(MainDialog, EveryViewShowsItsControlsImagesColoursAndBackground)
{
    struct View {
        const char* name;
        void (CTarnvikHSDownloaderDlg::*paint)();
        int state;
        UINT background;
        std::set<int> shown;
        UINT minimize, close;
        COLORREF pathBack, pathBorder;  // 0 when the view leaves them as they were
    };
    const View views[] = {
        {"ready", &CTarnvikHSDownloaderDlg::ShowReadyView, VS_READY, IDB_BG_READY,
         {IDC_DOWNLOAD, IDC_PATH, IDC_BROWSE}, IDB_MINIMIZE_NORMAL, IDB_CLOSE_NORMAL, RGB(57, 55, 125),
         RGB(168, 165, 216)},
        {"downloading", &CTarnvikHSDownloaderDlg::ShowDownloadingView, VS_DOWNLOADING, IDB_BG_DOWNLOADING,
         {IDC_PROGRESS, IDC_PERCENT, IDC_FILE_SIZE, IDC_SPEED}, IDB_MINIMIZE_NORMAL, IDB_CLOSE_NORMAL, 0, 0},
        {"download-failed", &CTarnvikHSDownloaderDlg::ShowDownloadFailedView, VS_DOWNLOAD_FAILED,
         IDB_BG_DOWNLOAD_FAILED, {IDC_PATH, IDC_BROWSE, IDC_REDOWNLOAD}, IDB_MINIMIZE_DARK_NORMAL,
         IDB_CLOSE_DARK_NORMAL, RGB(73, 73, 91), RGB(190, 190, 190)},
        {"completed", &CTarnvikHSDownloaderDlg::ShowCompletedView, VS_COMPLETED, IDB_BG_COMPLETED, {IDC_INSTALL},
         IDB_MINIMIZE_NORMAL, IDB_CLOSE_NORMAL, 0, 0},
        {"install-failed", &CTarnvikHSDownloaderDlg::ShowInstallFailedView, VS_INSTALL_FAILED,
         IDB_BG_INSTALL_FAILED, {IDC_REDOWNLOAD}, IDB_MINIMIZE_DARK_NORMAL, IDB_CLOSE_DARK_NORMAL, 0, 0},
    };
    const int all[] = {IDC_DOWNLOAD, IDC_STOP, IDC_PROGRESS, IDC_PERCENT, IDC_FILE_SIZE, IDC_SPEED,
                       IDC_INSTALL, IDC_GIVEUP, IDC_PATH, IDC_BROWSE, IDC_REDOWNLOAD};

    EXPECT_EQ(m_dlg->m_nViewState, VS_READY) << "the first view";
    EXPECT_GT(ButtonMatch(m_hWnd, IDC_BROWSE, IDB_BROWSE_NORMAL), 0.95);
    for (const View& view : views) {
        SCOPED_TRACE(view.name);
        (m_dlg.get()->*view.paint)();
        PumpFor(100);
        EXPECT_EQ(m_dlg->m_nViewState, view.state);
        for (const int id : all)
            EXPECT_EQ(Shown(m_hWnd, id), view.shown.count(id) == 1) << id;
        EXPECT_TRUE(Shown(m_hWnd, IDC_MINIMIZE));
        EXPECT_TRUE(Shown(m_hWnd, IDC_EXIT));
        EXPECT_GT(ButtonMatch(m_hWnd, IDC_MINIMIZE, view.minimize), 0.95);
        EXPECT_GT(ButtonMatch(m_hWnd, IDC_EXIT, view.close), 0.95);
        if (view.pathBack != 0) {
            EXPECT_EQ(m_dlg->m_editPath.m_clrBack, view.pathBack);
            EXPECT_EQ(m_dlg->m_editPath.m_clrFrameFill, view.pathBack);
            EXPECT_EQ(m_dlg->m_editPath.m_clrBorder, view.pathBorder);
            EXPECT_EQ(m_dlg->m_editPath.m_clrBorderHover, RGB(210, 210, 210));
            LOGBRUSH brush = {};
            GetObjectW(m_dlg->m_editPath.m_hbrBack, sizeof brush, &brush);
            EXPECT_EQ(brush.lbColor, view.pathBack);
        }
        EXPECT_GT(BackgroundMatch(m_hWnd, view.background), 0.97);
        SaveScreenshot(CaptureClient(m_hWnd), (std::string("main-") + view.name).c_str());
    }
    // The dark Browse images of the failed view stay for the rest of the run.
    m_dlg->ShowReadyView();
    PumpFor(50);
    EXPECT_GT(ButtonMatch(m_hWnd, IDC_BROWSE, IDB_BROWSE_DARK_NORMAL), 0.95);
}

TEST_F(MainDialog, TitleIconsAndSystemMenu)
{
    char title[64] = {};
    GetWindowTextA(m_hWnd, title, sizeof title);
    EXPECT_STREQ(title, "Tarnvik浏览器高速下载器");
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(m_hWnd, WM_GETICON, ICON_BIG, 0)), m_dlg->m_hAppIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0)), m_dlg->m_hAppIcon);
    EXPECT_NE(m_dlg->m_hAppIcon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(m_hWnd, WM_QUERYDRAGICON, 0, 0)), m_dlg->m_hAppIcon);

    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    MENUITEMINFOW separator = {};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(menu, count - 2, TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    wchar_t text[64] = {};
    GetMenuStringW(menu, count - 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"关于 TarnvikHSDownloader(&A)...");

    std::wstring aboutTitle;
    RunSoon([&] {
        HWND about = GetWindow(GetActiveWindow(), GW_OWNER) == m_hWnd ? GetActiveWindow() : nullptr;
        wchar_t caption[64] = {};
        GetWindowTextW(about, caption, 64);
        aboutTitle = caption;
        PostMessageW(about, WM_COMMAND, IDOK, 0);
    }, 200);
    SendMessageW(m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ(aboutTitle, L"关于 TarnvikHSDownloader");
    EXPECT_EQ(m_dlg->m_nViewState, VS_READY);
    EXPECT_FALSE(m_dlg->IsEnded());
}

TEST_F(MainDialog, KeysCursorAndMinimise)
{
    for (const WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_RETURN}}) {
        MSG msg = {};
        msg.hwnd = GetDlgItem(m_hWnd, IDC_PATH);
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        EXPECT_TRUE(m_dlg->PreTranslateMessage(&msg)) << key;
    }
    MSG other = {};
    other.hwnd = GetDlgItem(m_hWnd, IDC_PATH);
    other.message = WM_KEYDOWN;
    other.wParam = 'A';
    EXPECT_FALSE(m_dlg->PreTranslateMessage(&other));

    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    for (const int id : {IDC_DOWNLOAD, IDC_MINIMIZE, IDC_EXIT, IDC_STOP, IDC_INSTALL, IDC_GIVEUP}) {
        SetCursor(nullptr);
        const LRESULT handled = SendMessageW(m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(GetDlgItem(m_hWnd, id)),
                                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(handled, TRUE) << id;
        EXPECT_EQ(GetCursor(), hand) << id;
    }
    for (const int id : {IDC_BROWSE, IDC_REDOWNLOAD, IDC_PATH}) {
        SetCursor(nullptr);
        SendMessageW(m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(GetDlgItem(m_hWnd, id)),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_NE(GetCursor(), hand) << id;
    }

    Command(IDC_MINIMIZE);
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(m_hWnd) != FALSE; }));
    EXPECT_EQ(m_dlg->m_nViewState, VS_READY);
    ShowWindow(m_hWnd, SW_RESTORE);
}

TEST_F(MainDialog, DraggingTheBackgroundMovesTheWindow)
{
    RECT before;
    GetWindowRect(m_hWnd, &before);
    SetForegroundWindow(m_hWnd);
    MoveMouseTo(before.left + 100, before.top + 100);  // plain background
    // The window manager's move loop runs inside the press's dispatch: the input comes from another thread.
    std::atomic<bool> done{false};
    std::thread input([&] {
        const auto mouse = [](DWORD flags, int x, int y) {
            INPUT event = {};
            event.type = INPUT_MOUSE;
            event.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
            event.mi.dx = x * 65536 / GetSystemMetrics(SM_CXSCREEN);
            event.mi.dy = y * 65536 / GetSystemMetrics(SM_CYSCREEN);
            SendInput(1, &event, sizeof event);
            Sleep(40);
        };
        const int x = before.left + 100, y = before.top + 100;
        mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, x, y);
        for (int step = 1; step <= 5; ++step)
            mouse(MOUSEEVENTF_MOVE, x + 8 * step, y + 6 * step);
        mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, x + 40, y + 30);
        done = true;
    });
    PumpUntil([&] { return done.load(); }, 5000);
    input.join();
    PumpFor(150);
    RECT after;
    GetWindowRect(m_hWnd, &after);
    EXPECT_NEAR(after.left - before.left, 40, 1);
    EXPECT_NEAR(after.top - before.top, 30, 1);
    EXPECT_EQ(after.right - after.left, kWidth);
    EXPECT_EQ(m_dlg->m_nViewState, VS_READY);
}

TEST_F(MainDialog, InvalidFolderShowsItsMessageAndChangesNothing)
{
    for (const std::wstring& text : {std::wstring(L"请选择下载路径"), std::wstring(L"dl\\missing\\relative")}) {
        m_dlg->m_editPath.SetWindowTextW(text.c_str());
        CMessageBoxAnswer answer;
        AnswerMessageBoxSoon(answer);
        Command(IDC_DOWNLOAD);
        EXPECT_TRUE(answer.seen);
        EXPECT_EQ(answer.text, L"请选择正确的下载路径");
        EXPECT_EQ(answer.owner, nullptr) << "the message has no owner window";
        PumpFor(100);
        EXPECT_EQ(m_dlg->m_nViewState, VS_READY);
        EXPECT_FALSE(m_dlg->m_job->m_bRunning);
    }
}

TEST_F(MainDialog, DownloadShowsProgressOnlyOnceStartedThenCompletes)
{
    const std::string folder = StartHeldDownload("complete");
    EXPECT_EQ(m_dlg->m_nViewState, VS_DOWNLOADING);
    EXPECT_TRUE(Shown(m_hWnd, IDC_PROGRESS));
    EXPECT_GT(BackgroundMatch(m_hWnd, IDB_BG_DOWNLOADING), 0.9);
    SaveScreenshot(CaptureClient(m_hWnd), "main-downloading-live");
    m_server->Release();
    ASSERT_TRUE(WaitView(VS_COMPLETED));
    EXPECT_EQ(m_dlg->m_job->GetTargetPath(), folder + "TarnvikBrowser.exe");
    EXPECT_TRUE(ReadWholeFile(folder + "TarnvikBrowser.exe") == SignedInstaller());
    EXPECT_TRUE(PumpUntil([&] { return !Shown(m_hWnd, IDC_PROGRESS); }));
    EXPECT_TRUE(Shown(m_hWnd, IDC_INSTALL));
}

TEST_F(MainDialog, ShorterLabelTextLeavesExactlyTheSkinAndTheNewText)
{
    // The same text reached two ways: straight onto the skin, and over a longer text that it replaces.
    m_dlg->ShowDownloadingView();
    const HWND label = ::GetDlgItem(m_hWnd, IDC_PERCENT);
    const auto show = [&](const std::vector<const char*>& texts) {
        for (const char* text : texts)
            CWorkerWindows::SetLabelText(label, text);
        PumpFor(100);
        return CaptureClient(m_hWnd).data;
    };
    const std::vector<COLORREF> direct = show({"已下载 1.0 %"});
    SetWindowTextW(label, L"");
    m_dlg->Invalidate(TRUE);
    const std::vector<COLORREF> replaced = show({"已下载 100.0 %", "已下载 1.0 %"});
    EXPECT_TRUE(direct == replaced) << "the window differs from the text drawn straight onto the skin";
}

TEST_F(MainDialog, ViewStaysReadyUntilTheWorkerReportsItsStart)
{
    PrepareDownload(CServerScript::Complete(SignedInstaller()), "start");
    Command(IDC_DOWNLOAD);
    // The command itself changes nothing: only the worker's first notice does.
    EXPECT_EQ(m_dlg->m_nViewState, VS_READY);
    EXPECT_TRUE(WaitView(VS_COMPLETED));
}

TEST_F(MainDialog, SecondStartWhileAJobRunsIsIgnored)
{
    const std::string folder = StartHeldDownload("twice");
    Command(IDC_DOWNLOAD);
    Command(IDC_REDOWNLOAD);
    m_server->Release();
    ASSERT_TRUE(WaitView(VS_COMPLETED));
    PumpFor(300);
    EXPECT_EQ(m_server->RequestCount(), 1);
    EXPECT_FALSE(PathExists(folder + "TarnvikBrowser1.exe"));
}

TEST_F(MainDialog, FailedDownloadThenRedownloadCompletes)
{
    const std::string folder = PrepareDownload(CServerScript().Send(CServerScript::Head(404, 2) + "no"), "fail");
    Command(IDC_DOWNLOAD);
    ASSERT_TRUE(WaitView(VS_DOWNLOAD_FAILED));
    EXPECT_TRUE(Shown(m_hWnd, IDC_REDOWNLOAD));
    EXPECT_EQ(m_dlg->m_editPath.m_clrBack, RGB(73, 73, 91));

    m_server->On(testenv::kInstallerPath, CServerScript::Complete(SignedInstaller()));
    Command(IDC_REDOWNLOAD);
    ASSERT_TRUE(WaitView(VS_COMPLETED));
    EXPECT_TRUE(ReadWholeFile(m_dlg->m_job->GetTargetPath()) == SignedInstaller());
}

TEST_F(MainDialog, CloseWhileDownloadingAsksAndCancelKeepsGoing)
{
    StartHeldDownload("cancel");
    AnswerTipSoon(IDC_TIP_CANCEL, [this] {
        PumpFor(100);
        RECT main, tip;
        GetWindowRect(m_hWnd, &main);
        GetWindowRect(m_dlg->m_tipDlg.m_hWnd, &tip);
        // Centred over the main window, the question's picture lines up with the downloading background.
        EXPECT_EQ(tip.left - main.left, 172);
        EXPECT_EQ(tip.top - main.top, 88);
        SaveScreenshot(CaptureScreen(main), "main-confirmation");
    });
    Command(IDC_EXIT);
    EXPECT_TRUE(m_bTipSeen);
    EXPECT_FALSE(m_dlg->IsEnded());
    EXPECT_EQ(m_dlg->m_nViewState, VS_DOWNLOADING);
    EXPECT_TRUE(IsWindowVisible(m_hWnd));
    m_server->Release();
    EXPECT_TRUE(WaitView(VS_COMPLETED));
}

TEST_F(MainDialog, CloseWhileDownloadingConfirmedHidesAndEndsWithinTheWait)
{
    StartHeldDownload("confirm");
    AnswerTipSoon(IDC_TIP_OK);
    const DWORD start = GetTickCount();
    Command(IDC_EXIT);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(m_bTipSeen);
    EXPECT_TRUE(m_dlg->IsEnded());
    EXPECT_EQ(m_dlg->GetEndResult(), IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(m_hWnd));
    EXPECT_LT(elapsed, 3600u);
    EXPECT_TRUE(m_dlg->m_job->m_bStop);
}

TEST_F(MainDialog, CompletionWithdrawsTheQuestion)
{
    StartHeldDownload("withdraw");
    AnswerTipSoon(0, [this] { m_server->Release(); });
    Command(IDC_EXIT);
    EXPECT_TRUE(m_bTipSeen);
    EXPECT_FALSE(m_dlg->m_tipDlg.m_bOpen);
    EXPECT_FALSE(m_dlg->m_tipDlg.m_bConfirmed);
    EXPECT_EQ(m_dlg->m_nViewState, VS_COMPLETED);
    EXPECT_FALSE(m_dlg->IsEnded());
}

TEST_F(MainDialog, FailureKeepsTheQuestionAndOkThenEndsAtOnce)
{
    StartHeldDownload("keep", true);
    bool failedBehind = false;
    AnswerTipSoon(0, [this, &failedBehind] {
        m_server->Release();
        failedBehind = PumpUntil([this] { return m_dlg->m_nViewState == VS_DOWNLOAD_FAILED; }, kDownloadTimeoutMs);
        EXPECT_TRUE(m_dlg->m_tipDlg.m_bOpen) << "a failure leaves the question up";
        PostMessageW(m_dlg->m_tipDlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_TIP_OK, BN_CLICKED), 0);
    });
    const DWORD start = GetTickCount();
    Command(IDC_EXIT);
    EXPECT_TRUE(failedBehind);
    EXPECT_TRUE(m_dlg->IsEnded());
    EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(kDownloadTimeoutMs));
}

TEST_F(MainDialog, CloseOrGiveUpInAnyOtherViewEndsAtOnce)
{
    struct Case { void (CTarnvikHSDownloaderDlg::*paint)(); int button; };
    const Case cases[] = {
        {&CTarnvikHSDownloaderDlg::ShowReadyView, IDC_EXIT},
        {&CTarnvikHSDownloaderDlg::ShowDownloadFailedView, IDC_EXIT},
        {&CTarnvikHSDownloaderDlg::ShowCompletedView, IDC_EXIT},
        {&CTarnvikHSDownloaderDlg::ShowInstallFailedView, IDC_GIVEUP},
    };
    for (const Case& c : cases) {
        CTarnvikHSDownloaderDlg dlg;
        ASSERT_TRUE(dlg.Create(nullptr));
        (dlg.*c.paint)();
        const DWORD start = GetTickCount();
        SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
        EXPECT_TRUE(dlg.IsEnded()) << dlg.m_nViewState;
        EXPECT_FALSE(dlg.m_tipDlg.m_bOpen);
        EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(500));
        DestroyWindow(dlg.m_hWnd);
    }
}

TEST_F(MainDialog, InstallWithoutAFileShowsItsMessageAndTheReadyView)
{
    m_dlg->ShowCompletedView();
    CMessageBoxAnswer answer;
    AnswerMessageBoxSoon(answer);
    Command(IDC_INSTALL);
    EXPECT_EQ(answer.text, L"安装文件不存在，请重新下载安装");
    EXPECT_EQ(answer.owner, nullptr);
    EXPECT_EQ(m_dlg->m_nViewState, VS_READY);
    EXPECT_FALSE(m_dlg->IsEnded());
}

// The signature rules themselves are the engine's (InstallerSignature tests); here, what the dialog makes of them.
TEST_F(MainDialog, OnlyAnIntactInstallerOfThePinnedPublisherIsKeptAndStarted)
{
    const auto bytesOf = [](const char* pszSigning) {
        return ReadWholeFile(testenv::InstallerFile(pszSigning)).value_or("");
    };
    enum EThen { kRefused, kSwappedBeforeInstall, kStarted };
    struct CRow {
        const char* pszName;
        std::string served;
        EThen then;
    };
    // Each row starts from the ready view; only the last row's Install ends the dialog.
    const CRow rows[] = {
        {"its authority's revocation list names it", bytesOf("revoked-publisher"), kRefused},
        {"swapped for an unsigned file before Install", SignedInstaller(), kSwappedBeforeInstall},
        // Install asks the cache alone: a list that stops answering (nothing fetched kept) makes it wait for nothing.
        {"its authority's list does not name it, and stops answering before Install", bytesOf("unrevoked-publisher"),
         kStarted},
    };
    const std::string list = ReadWholeFile(testenv::RevocationListFile()).value_or("");
    ASSERT_FALSE(list.empty());
    const std::string strListPath = testenv::RevocationListPath("revoked"), strUnrevokedPath =
                                                                                testenv::RevocationListPath("unrevoked");
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        m_dlg->ShowReadyView();
        const std::string folder = PrepareDownload(CServerScript::Complete(row.served), "signature");
        m_server->On(strListPath, CServerScript::Complete(list));
        m_server->On(strUnrevokedPath, CServerScript::Complete(list));
        testenv::ForgetFetchedCertificateData();
        Command(IDC_DOWNLOAD);
        if (row.then == kRefused) {
            EXPECT_TRUE(WaitView(VS_DOWNLOAD_FAILED));
            EXPECT_FALSE(PathExists(folder + "TarnvikBrowser.exe")) << "a refused file is deleted";
            continue;
        }
        ASSERT_TRUE(WaitView(VS_COMPLETED));
        const std::string path = m_dlg->m_job->GetTargetPath();
        EXPECT_TRUE(ReadWholeFile(path) == row.served);
        if (row.then == kSwappedBeforeInstall) {
            std::ofstream(path, std::ios::binary | std::ios::trunc) << bytesOf("unsigned");
            ASSERT_TRUE(ReadWholeFile(path) == bytesOf("unsigned"));
        } else {
            m_server->On(strUnrevokedPath, CServerScript().Hold());
            testenv::ForgetFetchedCertificateData({m_server->Url(strUnrevokedPath)});
        }
        const ULONGLONG nInstallStart = GetTickCount64();
        Command(IDC_INSTALL);
        EXPECT_LT(GetTickCount64() - nInstallStart, kInstallAtOnceMs) << "Install waited on the network";
        const bool bStarts = row.then == kStarted;
        EXPECT_EQ(m_dlg->IsEnded(), bStarts);
        EXPECT_EQ(PumpUntil([&] { return PathExists(path + ".ran"); }, bStarts ? 5000 : 500), bStarts);
        if (!bStarts) {
            EXPECT_EQ(m_dlg->m_nViewState, VS_INSTALL_FAILED);
        }
    }
}

TEST_F(MainDialog, InstallFailureShowsTheInstallFailedView)
{
    PrepareDownload(CServerScript::Complete(SignedInstaller()), "installfail");
    Command(IDC_DOWNLOAD);
    ASSERT_TRUE(WaitView(VS_COMPLETED));
    ASSERT_TRUE(DeleteFileA(m_dlg->m_job->GetTargetPath().c_str()));
    Command(IDC_INSTALL);
    EXPECT_EQ(m_dlg->m_nViewState, VS_INSTALL_FAILED);
    EXPECT_FALSE(m_dlg->IsEnded());
    EXPECT_TRUE(Shown(m_hWnd, IDC_REDOWNLOAD));
}

namespace {

// A visible dialog of this thread without an owner other than the main one (a message box or the folder chooser).
HWND UnownedBoxBesides(HWND mainDialog)
{
    for (HWND w = FindWindowW(L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        if (w != mainDialog && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId() && IsWindowVisible(w) &&
            GetWindow(w, GW_OWNER) == nullptr)
            return w;
    }
    return nullptr;
}

// Cancels the folder chooser (or a message box) once it shows, and notes it in *shown when given.
void CancelChooserSoon(HWND mainDialog, HWND* shown = nullptr)
{
    ActWhenShown([mainDialog] { return UnownedBoxBesides(mainDialog); },
                 [shown](HWND chooser) {
                     if (shown != nullptr)
                         *shown = chooser;
                     PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
                 },
                 kUnownedBoxPeriodMs);
}

// The two ways a user ends the main window while an unowned box is open: its close button, and the system's
// close (Alt+F4, the taskbar), which the dialog manager turns into Cancel.
struct CEnding {
    const char* name;
    UINT msg;
    WPARAM wParam;
};
constexpr CEnding kEndings[] = {{"close button", WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED)},
                                {"system close", WM_CLOSE, 0}};

// Once an unowned box shows, notes it and ends the main dialog that way.
void EndWhenUnownedBoxShows(HWND mainDialog, const CEnding& ending, HWND* nested)
{
    ActWhenShown([mainDialog] { return UnownedBoxBesides(mainDialog); },
                 [mainDialog, ending, nested](HWND box) {
                     *nested = box;
                     PostMessageW(mainDialog, ending.msg, ending.wParam, 0);
                 },
                 kUnownedBoxPeriodMs);
}

}  // namespace

TEST_F(MainDialog, BrowseCancelledKeepsTheText)
{
    m_dlg->m_editPath.SetPathText("C:\\keep");
    CancelChooserSoon(m_hWnd);
    Command(IDC_BROWSE);
    EXPECT_EQ(m_dlg->m_editPath.GetPathText(), "C:\\keep");
    EXPECT_EQ(m_dlg->m_nViewState, VS_READY);
}

// The message boxes and the chooser have no owner, so the main window stays usable while they are open:
// ending it then, either way, takes the nested box down with it.
TEST_F(MainDialog, ClosingWhileAMessageBoxOrTheFolderChooserIsOpenEndsTheDialogAndTheBox)
{
    // Download with a path that is no folder opens the message box; Browse opens the chooser. The ending comes
    // once the box shows, or was already queued, so that the box's own loop handles it before the box shows.
    for (const int opener : {IDC_DOWNLOAD, IDC_BROWSE}) {
        for (const CEnding& ending : kEndings) {
            for (const bool bQueued : {false, true}) {
                SCOPED_TRACE(std::string(opener == IDC_DOWNLOAD ? "message box, " : "chooser, ") + ending.name +
                             (bQueued ? ", queued" : ""));
                RecreateDialog();
                m_dlg->m_editPath.SetWindowTextW(L"请选择下载路径");
                HWND nested = nullptr;
                if (bQueued) {
                    PostMessageW(m_hWnd, ending.msg, ending.wParam, 0);
                    CancelChooserSoon(m_hWnd, &nested);  // a box that shows all the same must not hang the test
                } else {
                    EndWhenUnownedBoxShows(m_hWnd, ending, &nested);
                }
                Command(opener);  // returns once the box is gone
                EXPECT_EQ(nested != nullptr, !bQueued) << "a box appeared after the dialog had ended";
                EXPECT_FALSE(IsWindow(nested));
                EXPECT_TRUE(m_dlg->IsEnded());
                CancelScripts();
            }
        }
    }
}
