// CTarnvikHSDownloaderDlg: the program's skinned main window, its five views and its commands.
#include "TarnvikHSDownloaderDlg.h"

#include "AboutDlg.h"
#include "ClientDC.h"
#include "DialogSkin.h"
#include "DownloadFolder.h"
#include "DownloadJob.h"
#include "InstallerSignature.h"
#include "PaintDC.h"
#include "PathHelpers.h"
#include "ResourceModule.h"
#include "SelectGuard.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "resource.h"

namespace {

constexpr COLORREF kLabelTextColour = RGB(151, 170, 195);
constexpr COLORREF kProgressBackColour = RGB(28, 34, 57);
constexpr COLORREF kProgressBarColour = RGB(34, 164, 255);
constexpr RECT kProgressRect = {0, 0, 494, 10};
constexpr short kProgressMax = 100;
constexpr int kLabelFontHeight = 18;
constexpr wchar_t kLabelFontFace[] = L"微软雅黑";
constexpr char kTitle[] = "Tarnvik浏览器高速下载器";
constexpr char kMessageCaption[] = "提示";
constexpr char kBadFolderText[] = "请选择正确的下载路径";
constexpr char kNoInstallerText[] = "安装文件不存在，请重新下载安装";

constexpr INT_PTR kShellExecuteSucceededAbove = 32;

// Distances of the layout, in pixels from the window's edges.
constexpr int kCloseRightMargin = 20;
constexpr int kTopMargin = 20;
constexpr int kMinimizeGap = 34;
constexpr int kActionBottomMargin = 52;
constexpr int kPlainButtonRightMargin = 50;
constexpr int kPlainButtonBottomMargin = 20;
constexpr int kProgressBottomMargin = 10;
constexpr int kLabelSideMargin = 29;
constexpr int kLabelAboveProgress = 15;
constexpr int kPathAboveAction = 108;
constexpr int kBrowseAboveAction = 113;

constexpr ButtonImages kMinimizeLight = {IDB_MINIMIZE_NORMAL, IDB_MINIMIZE_PRESSED, IDB_MINIMIZE_HOVER};
constexpr ButtonImages kMinimizeDark = {IDB_MINIMIZE_DARK_NORMAL, IDB_MINIMIZE_DARK_PRESSED, IDB_MINIMIZE_DARK_HOVER};
constexpr ButtonImages kCloseLight = {IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER};
constexpr ButtonImages kCloseDark = {IDB_CLOSE_DARK_NORMAL, IDB_CLOSE_DARK_PRESSED, IDB_CLOSE_DARK_HOVER};
constexpr ButtonImages kBrowseDark = {IDB_BROWSE_DARK_NORMAL, IDB_BROWSE_DARK_PRESSED, IDB_BROWSE_DARK_HOVER};

struct PathColours {
    COLORREF back, border, borderHover;
};
constexpr PathColours kPathReady = {RGB(57, 55, 125), RGB(168, 165, 216), RGB(210, 210, 210)};
constexpr PathColours kPathFailed = {RGB(73, 73, 91), RGB(190, 190, 190), RGB(210, 210, 210)};

// The controls that views show or hide, and a bit for each.
constexpr int kViewControls[] = {IDC_DOWNLOAD, IDC_STOP,    IDC_PROGRESS, IDC_PERCENT, IDC_FILE_SIZE,      IDC_SPEED,
                                 IDC_INSTALL,  IDC_GIVEUP, IDC_PATH,     IDC_BROWSE,  IDC_REDOWNLOAD};
constexpr unsigned Bit(int id)
{
    unsigned index = 0;
    while (kViewControls[index] != id)
        ++index;
    return 1u << index;
}

// What a view shows: background picture and its brush, Minimise and Close images, Browse images (or none), path
// colours (or none), and the controls shown (all others hidden).
struct ViewLook {
    UINT picture;
    CBrush CTarnvikHSDownloaderDlg::*background;
    ButtonImages minimize;
    ButtonImages close;
    const ButtonImages* browse;
    const PathColours* path;
    unsigned shown;
};

// The views, indexed by view state.
constexpr ViewLook kViews[] = {
    {IDB_BG_READY, &CTarnvikHSDownloaderDlg::m_brReady, kMinimizeLight, kCloseLight, nullptr, &kPathReady,
     Bit(IDC_DOWNLOAD) | Bit(IDC_PATH) | Bit(IDC_BROWSE)},
    {IDB_BG_DOWNLOADING, &CTarnvikHSDownloaderDlg::m_brDownloading, kMinimizeLight, kCloseLight, nullptr, nullptr,
     Bit(IDC_PROGRESS) | Bit(IDC_PERCENT) | Bit(IDC_FILE_SIZE) | Bit(IDC_SPEED)},
    {IDB_BG_DOWNLOAD_FAILED, &CTarnvikHSDownloaderDlg::m_brDownloadFailed, kMinimizeDark, kCloseDark, &kBrowseDark,
     &kPathFailed, Bit(IDC_PATH) | Bit(IDC_BROWSE) | Bit(IDC_REDOWNLOAD)},
    {IDB_BG_COMPLETED, &CTarnvikHSDownloaderDlg::m_brCompleted, kMinimizeLight, kCloseLight, nullptr, nullptr,
     Bit(IDC_INSTALL)},
    {IDB_BG_INSTALL_FAILED, &CTarnvikHSDownloaderDlg::m_brInstallFailed, kMinimizeDark, kCloseDark, nullptr, nullptr,
     Bit(IDC_REDOWNLOAD)},
};
static_assert(std::size(kViews) == VS_INSTALL_FAILED + 1, "one view per view state, in their order");

// Controls over which the cursor becomes a hand.
constexpr int kHandCursorControls[] = {IDC_DOWNLOAD, IDC_MINIMIZE, IDC_EXIT, IDC_STOP, IDC_INSTALL, IDC_GIVEUP};

// The longest texts each status label can show, one per unit (sizes and speeds below 2 GiB, up to 100 %).
constexpr const wchar_t* kLongestSizeTexts[] = {L"文件大小: 2048.0 MB", L"文件大小: 1024.0 KB", L"文件大小: 1024.0 B"};
constexpr const wchar_t* kLongestPercentTexts[] = {L"已下载 100.0 %"};
constexpr const wchar_t* kLongestSpeedTexts[] = {L"下载速度: 2048.0 mb/s", L"下载速度: 1024.0 kb/s",
                                                  L"下载速度: 1024.0 b/s"};

// The template sizes the status labels for its 9-point dialog font, too small for their 18-px font: the texts
// would be cut off. Grow a label (never shrink it) to its widest text and one line of its font.
template <size_t N>
void FitLabelToText(CWnd& label, HFONT font, const wchar_t* const (&texts)[N])
{
    LONG widest = 0;
    TEXTMETRICW metrics = {};
    if (const CClientDC dc(label); dc.GetSafeHdc()) {
        CSelectGuard select(dc, font);
        for (const wchar_t* text : texts) {
            SIZE extent = {};
            GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent);
            widest = std::max(widest, extent.cx);
        }
        GetTextMetricsW(dc, &metrics);
    }
    RECT rc;
    label.GetWindowRect(&rc);
    const int width = std::max<int>(rc.right - rc.left, widest);
    const int height = std::max<int>(rc.bottom - rc.top, metrics.tmHeight);
    label.SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void ShowMessage(const char* text)
{
    MessageBoxA(nullptr, text, kMessageCaption, MB_OK);
}

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

// Dialogs of this thread without an owner and without an object of ours: the message boxes and the folder
// chooser, which run loops of their own. Hidden ones too: a box shows only once its loop has nothing else to do,
// so a Close that was already queued ends the dialog before its box appears.
BOOL CALLBACK CancelUnownedDialog(HWND hWnd, LPARAM)
{
    wchar_t className[16] = {};
    GetClassNameW(hWnd, className, 16);
    if (lstrcmpW(className, L"#32770") == 0 && GetWindow(hWnd, GW_OWNER) == nullptr &&
        CWnd::FromHandlePermanent(hWnd) == nullptr)
        PostMessageW(hWnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

CTarnvikHSDownloaderDlg::CTarnvikHSDownloaderDlg()
    : CSkinnedDialog(IDD_MAIN),
      m_job(std::make_shared<CDownloadJob>()),
      m_hAppIcon(LoadIconW(GetResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
}

// The window is gone by now, so a worker makes no more window calls that could wait for this thread. A job still
// running (Alt+F4 ends the dialog without stopping it, and a stop may outlast the quit wait) is asked to stop and
// given the quit wait to leave, so that it removes what it must before the process ends with it.
CTarnvikHSDownloaderDlg::~CTarnvikHSDownloaderDlg()
{
    StopDownloadJob(*m_job, nullptr);
}

void CTarnvikHSDownloaderDlg::DoDataExchange(CDataExchange* pDX)
{
    CSkinnedDialog::DoDataExchange(pDX);
    const std::pair<int, CWnd*> controls[] = {
        {IDC_PROGRESS, &m_progress},     {IDC_PERCENT, &m_lblPercent}, {IDC_DOWNLOAD, &m_btnDownload},
        {IDC_STOP, &m_btnStop},          {IDC_INSTALL, &m_btnInstall}, {IDC_GIVEUP, &m_btnGiveUp},
        {IDC_MINIMIZE, &m_btnMinimize},  {IDC_EXIT, &m_btnExit},       {IDC_PATH, &m_editPath},
        {IDC_BROWSE, &m_btnBrowse},      {IDC_REDOWNLOAD, &m_btnRedownload}, {IDC_FILE_SIZE, &m_lblSize},
        {IDC_SPEED, &m_lblSpeed}};
    for (const auto& [id, control] : controls)
        DDX_Control(pDX, id, *control);
}

BOOL CTarnvikHSDownloaderDlg::OnInitDialog()
{
    CSkinnedDialog::OnInitDialog();
    AddAboutToSystemMenu();
    SetIcon(m_hAppIcon, TRUE);
    SetIcon(m_hAppIcon, FALSE);
    SetWindowTextA(kTitle);
    LoadBackgrounds();
    LoadButtonImages();
    StyleProgressBar();
    StyleLabels();
    LayoutControls();
    ShowReadyView();
    ProposeDownloadFolder();
    return TRUE;
}

void CTarnvikHSDownloaderDlg::AddAboutToSystemMenu()
{
    const HMENU systemMenu = GetSystemMenu(FALSE);
    wchar_t about[128] = {};
    if (systemMenu == nullptr || LoadStringW(GetResourceModule(), IDS_ABOUTBOX, about, 128) <= 0)
        return;
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
}

void CTarnvikHSDownloaderDlg::LoadBackgrounds()
{
    for (const ViewLook& view : kViews) {
        const SIZE picture = LoadPatternBrush(this->*view.background, view.picture);
        if (&view == &kViews[VS_READY])
            SizeToPicture(*this, picture);
    }
}

void CTarnvikHSDownloaderDlg::LoadButtonImages()
{
    SkinButtons({{&m_btnDownload, {IDB_DOWNLOAD_NORMAL, IDB_DOWNLOAD_PRESSED, IDB_DOWNLOAD_HOVER}},
                 {&m_btnMinimize, kMinimizeLight},
                 {&m_btnExit, kCloseLight},
                 {&m_btnInstall, {IDB_INSTALL_NORMAL, IDB_INSTALL_PRESSED, IDB_INSTALL_HOVER}},
                 {&m_btnRedownload, {IDB_REDOWNLOAD_NORMAL, IDB_REDOWNLOAD_PRESSED, IDB_REDOWNLOAD_HOVER}},
                 {&m_btnBrowse, {IDB_BROWSE_NORMAL, IDB_BROWSE_PRESSED, IDB_BROWSE_HOVER}}});
}

// Colours, size, and the range 0..100 at 0 (the worker sets both again at the start of every download).
void CTarnvikHSDownloaderDlg::StyleProgressBar()
{
    m_progress.m_rcPaint = kProgressRect;
    m_progress.MoveWindow(kProgressRect, TRUE);
    m_progress.m_clrBack = kProgressBackColour;
    m_progress.m_clrBar = kProgressBarColour;
    m_progress.SetRange(0, kProgressMax);
    m_progress.SetPos(0);
}

void CTarnvikHSDownloaderDlg::StyleLabels()
{
    m_clrLabelText = kLabelTextColour;
    m_fontLabels.Attach(CreateFontW(kLabelFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                    kLabelFontFace));
    m_lblSize.SetFont(m_fontLabels, TRUE);
    m_lblPercent.SetFont(m_fontLabels, TRUE);
    m_lblSpeed.SetFont(m_fontLabels, TRUE);
    FitLabelToText(m_lblSize, m_fontLabels, kLongestSizeTexts);
    FitLabelToText(m_lblPercent, m_fontLabels, kLongestPercentTexts);
    FitLabelToText(m_lblSpeed, m_fontLabels, kLongestSpeedTexts);
}

void CTarnvikHSDownloaderDlg::ProposeDownloadFolder()
{
    const std::string folder = GetDefaultDownloadFolder();
    if (!folder.empty()) {
        m_editPath.SetPathText(folder);
    } else {
        m_editPath.m_strHint = kFolderPrompt;
        m_editPath.SetWindowTextW(kFolderPrompt);
    }
}

void CTarnvikHSDownloaderDlg::LayoutControls()
{
    RECT dialog;
    GetWindowRect(&dialog);
    const int W = Width(dialog);
    const int H = Height(dialog);
    const auto sizeOf = [](const CWnd& control) {
        RECT rc;
        control.GetWindowRect(&rc);
        return SIZE{Width(rc), Height(rc)};
    };
    const auto place = [this](CWnd& control, int x, int y) {
        control.SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    };

    const SIZE close = sizeOf(m_btnExit);
    const SIZE progress = sizeOf(m_progress);
    const SIZE download = sizeOf(m_btnDownload);
    const SIZE path = sizeOf(m_editPath);

    place(m_btnExit, W - close.cx - kCloseRightMargin, kTopMargin);
    place(m_btnMinimize, W - sizeOf(m_btnMinimize).cx - close.cx - kMinimizeGap, kTopMargin);
    for (CWnd* action : {static_cast<CWnd*>(&m_btnDownload), static_cast<CWnd*>(&m_btnInstall)}) {
        const SIZE s = sizeOf(*action);
        place(*action, W / 2 - s.cx / 2, H - s.cy - kActionBottomMargin);
    }
    for (CWnd* plain : {&m_btnStop, &m_btnGiveUp}) {
        const SIZE s = sizeOf(*plain);
        place(*plain, W - s.cx - kPlainButtonRightMargin, H - s.cy - kPlainButtonBottomMargin);
    }
    place(m_progress, W / 2 - progress.cx / 2, H - progress.cy - kProgressBottomMargin);
    const SIZE sizeLabel = sizeOf(m_lblSize);
    place(m_lblSize, kLabelSideMargin, H - kLabelAboveProgress - progress.cy - sizeLabel.cy);
    const SIZE percent = sizeOf(m_lblPercent);
    place(m_lblPercent, W / 2 - percent.cx / 2, H - kLabelAboveProgress - progress.cy - percent.cy);
    const SIZE speed = sizeOf(m_lblSpeed);
    place(m_lblSpeed, W - kLabelSideMargin - speed.cx, H - kLabelAboveProgress - progress.cy - speed.cy);
    const SIZE redownload = sizeOf(m_btnRedownload);
    place(m_btnRedownload, W / 2 - redownload.cx / 2, H - kActionBottomMargin - redownload.cy);
    place(m_editPath, W / 2 - path.cx / 2, H - kPathAboveAction - path.cy - download.cy);
    place(m_btnBrowse, W / 2 + path.cx / 2 + 1, H - kBrowseAboveAction - path.cy - download.cy);
}

void CTarnvikHSDownloaderDlg::ShowReadyView() { ApplyView(VS_READY); }
void CTarnvikHSDownloaderDlg::ShowDownloadingView() { ApplyView(VS_DOWNLOADING); }
void CTarnvikHSDownloaderDlg::ShowDownloadFailedView() { ApplyView(VS_DOWNLOAD_FAILED); }
void CTarnvikHSDownloaderDlg::ShowCompletedView() { ApplyView(VS_COMPLETED); }
void CTarnvikHSDownloaderDlg::ShowInstallFailedView() { ApplyView(VS_INSTALL_FAILED); }

void CTarnvikHSDownloaderDlg::ApplyView(int nViewState)
{
    m_nViewState = nViewState;
    const ViewLook& look = kViews[nViewState];
    if (look.path != nullptr) {
        m_editPath.m_clrBack = look.path->back;
        m_editPath.m_clrFrameFill = look.path->back;
        m_editPath.m_clrBorder = look.path->border;
        m_editPath.m_clrBorderHover = look.path->borderHover;
    }
    if (look.browse != nullptr)
        SetButtonImages(m_btnBrowse, *look.browse);
    SetButtonImages(m_btnMinimize, look.minimize);
    SetButtonImages(m_btnExit, look.close);
    for (const int id : kViewControls)
        ::ShowWindow(::GetDlgItem(m_hWnd, id), (look.shown & Bit(id)) ? SW_SHOW : SW_HIDE);
    Invalidate(TRUE);
}

CBrush& CTarnvikHSDownloaderDlg::BackgroundBrush()
{
    return this->*kViews[m_nViewState].background;
}

HBRUSH CTarnvikHSDownloaderDlg::OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor)
{
    const HBRUSH base = CSkinnedDialog::OnCtlColor(hDC, pWnd, nCtlColor);
    const HWND asking = pWnd != nullptr ? pWnd->GetSafeHwnd() : nullptr;
    if (asking == m_hWnd)
        return BackgroundBrush();
    switch (::GetDlgCtrlID(asking)) {
    case IDC_DOWNLOAD:
        SetBkMode(hDC, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case IDC_PERCENT:
    case IDC_FILE_SIZE:
    case IDC_SPEED:
        SetBkMode(hDC, TRANSPARENT);
        SetTextColor(hDC, m_clrLabelText);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    default:
        return base;
    }
}

bool CTarnvikHSDownloaderDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam));
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hAppIcon);
        return true;
    case WM_DOWNLOAD_STATUS:
        result = OnDownloadStatus(wParam);
        return true;
    case WM_SETCURSOR:
        if (!OnSetCursor(reinterpret_cast<HWND>(wParam)))
            break;
        result = TRUE;
        return true;
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        break;
    }
    return CSkinnedDialog::OnMessage(msg, wParam, lParam, result);
}

bool CTarnvikHSDownloaderDlg::OnCommand(UINT nID)
{
    switch (nID) {
    case IDC_DOWNLOAD:
        OnDownload();
        return true;
    case IDC_STOP:
        OnStop();
        return true;
    case IDC_MINIMIZE:
        OnMinimize();
        return true;
    case IDC_EXIT:
    case IDC_GIVEUP:
        OnExit();
        return true;
    case IDC_INSTALL:
        OnInstall();
        return true;
    case IDC_BROWSE:
        OnBrowse();
        return true;
    case IDC_REDOWNLOAD:
        OnRedownload();
        return true;
    default:
        return false;
    }
}

bool CTarnvikHSDownloaderDlg::OnSysCommand(UINT nID)
{
    if ((nID & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    CAboutDlg about;
    about.DoModal();
    return true;
}

bool CTarnvikHSDownloaderDlg::OnPaint()
{
    if (!IsIconic())
        return false;
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    GetClientRect(&client);
    const int x = (Width(client) - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (Height(client) - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hAppIcon);
    return true;
}

bool CTarnvikHSDownloaderDlg::OnSetCursor(HWND hWnd)
{
    if (hWnd == nullptr || ::GetParent(hWnd) != m_hWnd)
        return false;
    const int id = ::GetDlgCtrlID(hWnd);
    for (const int handId : kHandCursorControls) {
        if (id == handId) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return true;
        }
    }
    return false;
}

void CTarnvikHSDownloaderDlg::OnLButtonDown(LPARAM lParam)
{
    PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, lParam);
}

LRESULT CTarnvikHSDownloaderDlg::OnDownloadStatus(WPARAM code)
{
    switch (code) {
    case DL_STATUS_STARTED:
        ShowDownloadingView();
        break;
    case DL_STATUS_DONE:
        if (m_tipDlg.m_bOpen)
            m_tipDlg.CloseTip();
        ShowCompletedView();
        break;
    case DL_STATUS_FAILED:
        ShowDownloadFailedView();
        break;
    }
    return 0;
}

void CTarnvikHSDownloaderDlg::OnDownload()
{
    const std::string path = m_editPath.GetPathText();
    if (!PrepareDownloadFolder(path)) {
        ShowMessage(kBadFolderText);
        return;
    }
    // A job already started and not yet ended keeps the record: the start is then refused and nothing changes.
    StartDownloadJob(m_job, path, m_hWnd, {m_progress, m_lblPercent, m_lblSize, m_lblSpeed});
}

void CTarnvikHSDownloaderDlg::OnRedownload()
{
    OnDownload();
}

void CTarnvikHSDownloaderDlg::OnStop()
{
    m_tipDlg.DoModal();
    if (m_tipDlg.m_bConfirmed && m_nViewState != VS_COMPLETED)
        StopAndClose();
}

void CTarnvikHSDownloaderDlg::OnExit()
{
    if (m_nViewState == VS_DOWNLOADING)
        OnStop();
    else
        StopAndClose();
}

void CTarnvikHSDownloaderDlg::StopAndClose()
{
    StopDownloadJob(*m_job, m_hWnd);
    CSkinnedDialog::OnCancel();
}

void CTarnvikHSDownloaderDlg::OnInstall()
{
    const std::string path = m_job->GetTargetPath();
    if (path.empty()) {
        ShowMessage(kNoInstallerText);
        ShowReadyView();
        return;
    }
    // Checked again while held: the file may have changed since the download, and must not change until it runs.
    const CHeldInstaller installer(path);
    if (!installer.Trusted()) {
        ShowInstallFailedView();
        return;
    }
    const HINSTANCE started = ShellExecuteA(nullptr, "open", path.c_str(), "", "", SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(started) > kShellExecuteSucceededAbove)
        OnExit();
    else
        ShowInstallFailedView();
}

void CTarnvikHSDownloaderDlg::OnBrowse()
{
    const std::string folder = ChooseDownloadFolder();
    if (folder.empty())
        return;
    m_editPath.SetPathText(EnsureTrailingSeparator(folder));
    m_editPath.Invalidate(TRUE);
}

void CTarnvikHSDownloaderDlg::OnMinimize()
{
    PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void CTarnvikHSDownloaderDlg::EndDialog(int nResult)
{
    CSkinnedDialog::EndDialog(nResult);
    EnumThreadWindows(GetCurrentThreadId(), CancelUnownedDialog, 0);
}
