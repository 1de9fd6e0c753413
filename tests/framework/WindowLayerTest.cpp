// The window layer on real windows: dispatch and results, reflection, the modal loop, owners and centring.
#include "Button.h"
#include "DialogEx.h"
#include "Edit.h"
#include "Static.h"
#include "WinApp.h"
#include "WindowTest.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr UINT kProbeMessage = WM_APP + 7;
constexpr WORD kButtonId = 101;
constexpr WORD kEditId = 102;
constexpr WORD kStaticId = 103;

class CProbeButton : public CButton {
public:
    int m_nDraws = 0;

protected:
    void DrawItem(DRAWITEMSTRUCT* pItem) override
    {
        ++m_nDraws;
        FillRect(pItem->hDC, &pItem->rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
};

class CProbeEdit : public CEdit {
public:
    HBRUSH m_hBrush = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    int m_nChanges = 0;
    bool m_bThrowOnGetText = false;

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_GETTEXT && m_bThrowOnGetText)
            throw std::bad_alloc();
        switch (msg) {
        case WM_REFLECT_BASE + WM_CTLCOLOREDIT:
            result = reinterpret_cast<LRESULT>(m_hBrush);
            return true;
        case WM_REFLECT_BASE + WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) {
                ++m_nChanges;
                return true;
            }
            break;
        }
        return CEdit::OnMessage(msg, wParam, lParam, result);
    }
};

// A dialog that records what reaches it; pixel size and behaviour are set by each test.
class CProbeDialog : public CDialogEx {
public:
    explicit CProbeDialog(const DLGTEMPLATE* pTemplate, CWnd* pParent = nullptr) : CDialogEx(0, pParent)
    {
        InitModalIndirect(pTemplate);
    }

    SIZE m_sizeAtInit = {0, 0};  // resize (without moving) during OnInitDialog when set
    bool m_bBindControls = false;
    bool m_bSwallowEscape = false;
    bool m_bVisibleDuringInit = true;
    RECT m_rcAtFirstShow = {};
    std::vector<UINT> m_commands;
    std::vector<UINT> m_messages;
    int m_nCtlColorCalls = 0;
    bool m_bThrowOnGetText = false;
    CProbeButton m_button;
    CProbeEdit m_edit;
    CStatic m_static;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        if (!m_bBindControls)
            return;
        DDX_Control(pDX, kButtonId, m_button);
        DDX_Control(pDX, kEditId, m_edit);
        DDX_Control(pDX, kStaticId, m_static);
    }

    BOOL OnInitDialog() override
    {
        CDialogEx::OnInitDialog();
        m_bVisibleDuringInit = IsWindowVisible();
        if (m_sizeAtInit.cx)
            SetWindowPos(nullptr, 0, 0, m_sizeAtInit.cx, m_sizeAtInit.cy, SWP_NOMOVE | SWP_NOZORDER);
        return TRUE;
    }

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        return m_bSwallowEscape && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE;
    }

    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) override
    {
        ++m_nCtlColorCalls;
        return CDialogEx::OnCtlColor(hDC, pWnd, nCtlColor);
    }

    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        m_messages.push_back(msg);
        if (msg == WM_GETTEXT && m_bThrowOnGetText)
            throw std::runtime_error("handler failed");
        switch (msg) {
        case kProbeMessage:
            result = 42;
            return true;
        case WM_SETCURSOR:
            result = TRUE;
            return true;
        case WM_SHOWWINDOW:
            if (wParam && m_rcAtFirstShow.right == 0)
                GetWindowRect(&m_rcAtFirstShow);
            break;
        case WM_COMMAND:
            m_commands.push_back(static_cast<UINT>(wParam));
            break;
        }
        return CDialogEx::OnMessage(msg, wParam, lParam, result);
    }
};

wintest::CDialogTemplate PopupTemplate(DWORD extraStyle = 0)
{
    wintest::CDialogTemplate t(WS_POPUP | extraStyle, 100, 60, L"Probe");
    t.AddControl(L"BUTTON", L"b", kButtonId, BS_OWNERDRAW | WS_TABSTOP, 5, 5, 30, 12);
    t.AddControl(L"EDIT", L"", kEditId, ES_AUTOHSCROLL | WS_TABSTOP, 5, 20, 60, 12);
    t.AddControl(L"STATIC", L"s", kStaticId, SS_LEFT, 5, 40, 30, 8);
    return t;
}

// A visible owner window of exactly 650 x 360 pixels at (x, y).
struct COwner {
    wintest::CDialogTemplate t = PopupTemplate(WS_VISIBLE);
    CProbeDialog dlg{t.Get()};
    COwner(int x, int y)
    {
        dlg.Create();
        dlg.MoveWindow(x, y, 650, 360);
        dlg.ShowWindow(SW_SHOW);
        wintest::PumpFor(20);
    }
};

RECT WindowRectOf(HWND hWnd)
{
    RECT rc;
    GetWindowRect(hWnd, &rc);
    return rc;
}

}  // namespace

TEST(WindowLayer, HandledResultsReachTheSenderAndUnhandledMessagesGetTheDefault)
{
    wintest::CDialogTemplate t = PopupTemplate();
    CProbeDialog dlg(t.Get());
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.SendMessage(kProbeMessage), 42);  // through DWLP_MSGRESULT
    EXPECT_EQ(dlg.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(dlg.m_hWnd), HTCLIENT), TRUE);
    wchar_t title[16] = {};
    EXPECT_EQ(dlg.SendMessage(WM_GETTEXT, 16, reinterpret_cast<LPARAM>(title)), 5);
    EXPECT_STREQ(title, L"Probe");
    EXPECT_EQ(CWnd::FromHandlePermanent(dlg.m_hWnd), &dlg);
}

TEST(WindowLayer, HandlerThatThrowsLeavesItsMessageToTheDefaultAndTheWindowLives)
{
    wintest::CDialogTemplate t = PopupTemplate();
    CProbeDialog dlg(t.Get());
    dlg.m_bBindControls = true;
    ASSERT_TRUE(dlg.Create());
    dlg.m_edit.SetWindowTextW(L"abc");
    struct CCase {
        const char* pszName;
        HWND hWnd;
        bool& bThrow;
        std::wstring defaultText;
    } cases[] = {
        {"dialog procedure", dlg.m_hWnd, dlg.m_bThrowOnGetText, L"Probe"},
        {"subclassed control", dlg.m_edit.m_hWnd, dlg.m_edit.m_bThrowOnGetText, L"abc"},
    };
    for (CCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        c.bThrow = true;
        wchar_t text[16] = {};
        EXPECT_EQ(SendMessageW(c.hWnd, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text)),
                  static_cast<LRESULT>(c.defaultText.size()));
        EXPECT_EQ(text, c.defaultText);
        c.bThrow = false;
    }
    EXPECT_EQ(dlg.SendMessage(kProbeMessage), 42) << "the dialog still answers";
}

TEST(WindowLayer, ChildObjectsAnswerReflectedMessagesBeforeTheParentMap)
{
    wintest::CDialogTemplate t = PopupTemplate(WS_VISIBLE);
    CProbeDialog dlg(t.Get());
    dlg.m_bBindControls = true;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_button.m_hWnd && dlg.m_edit.m_hWnd && dlg.m_static.m_hWnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(dlg.m_edit.m_hWnd), &dlg.m_edit);
    wintest::PumpFor(30);

    EXPECT_GT(dlg.m_button.m_nDraws, 0);
    for (UINT msg : dlg.m_messages)
        EXPECT_NE(msg, static_cast<UINT>(WM_DRAWITEM));

    HDC hDC = GetDC(dlg.m_hWnd);
    const int callsBefore = dlg.m_nCtlColorCalls;
    EXPECT_EQ(dlg.SendMessage(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(hDC), reinterpret_cast<LPARAM>(dlg.m_edit.m_hWnd)),
              reinterpret_cast<LRESULT>(dlg.m_edit.m_hBrush));
    EXPECT_EQ(dlg.m_nCtlColorCalls, callsBefore);  // the child won; the parent's handler never ran
    EXPECT_NE(dlg.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hDC),
                              reinterpret_cast<LPARAM>(dlg.m_static.m_hWnd)),
              0);  // the static declines: the dialog's default brush
    EXPECT_EQ(dlg.m_nCtlColorCalls, callsBefore + 1);
    ReleaseDC(dlg.m_hWnd, hDC);

    dlg.m_commands.clear();
    dlg.m_edit.SetWindowTextW(L"changed");
    EXPECT_EQ(dlg.m_edit.m_nChanges, 1);
    dlg.m_button.SendMessage(BM_CLICK);
    // EN_CHANGE was consumed by the edit (EN_UPDATE was not); BN_CLICKED reached the dialog.
    ASSERT_FALSE(dlg.m_commands.empty());
    for (UINT command : dlg.m_commands)
        EXPECT_NE(command, MAKEWPARAM(kEditId, EN_CHANGE));
    EXPECT_EQ(dlg.m_commands.back(), MAKEWPARAM(kButtonId, BN_CLICKED));
}

TEST(WindowLayer, ControlObjectIsReleasedWithItsWindowAndBindsAgain)
{
    wintest::CDialogTemplate t = PopupTemplate();
    CProbeDialog dlg(t.Get());
    dlg.m_bBindControls = true;
    for (int showing = 0; showing < 2; ++showing) {
        ASSERT_TRUE(dlg.Create());
        HWND hEdit = GetDlgItem(dlg.m_hWnd, kEditId);
        EXPECT_EQ(dlg.m_edit.m_hWnd, hEdit);
        EXPECT_EQ(dlg.GetDlgItem(kEditId), &dlg.m_edit);
        DestroyWindow(dlg.m_hWnd);
        EXPECT_EQ(dlg.m_hWnd, nullptr);
        EXPECT_EQ(dlg.m_edit.m_hWnd, nullptr);
    }
}

TEST(WindowLayer, ModalDialogIsShownAfterInitialisationCentredOnItsOwnerWhichItDisables)
{
    COwner owner(100, 120);
    wintest::CDialogTemplate t = PopupTemplate();
    CProbeDialog dlg(t.Get(), &owner.dlg);
    dlg.m_sizeAtInit = {307, 185};
    RECT placed = {};
    bool ownerEnabledDuring = true;
    bool visibleDuring = false;
    wintest::RunSoon([&] {
        placed = WindowRectOf(dlg.m_hWnd);
        ownerEnabledDuring = owner.dlg.IsWindowEnabled();
        visibleDuring = dlg.IsWindowVisible();
        dlg.EndDialog(1234);
    });
    EXPECT_EQ(dlg.DoModal(), 1234);
    EXPECT_FALSE(dlg.m_bVisibleDuringInit);
    EXPECT_TRUE(visibleDuring);
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(owner.dlg.IsWindowEnabled());
    EXPECT_EQ(placed.left, 100 + 172);  // 325 - 153 and 180 - 92: each size halved on its own
    EXPECT_EQ(placed.top, 120 + 88);
    EXPECT_EQ(placed.right - placed.left, 307);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(WindowLayer, VisibleTemplateIsCentredBeforeItFirstShows)
{
    COwner owner(40, 60);
    wintest::CDialogTemplate t = PopupTemplate(WS_VISIBLE);
    CProbeDialog dlg(t.Get(), &owner.dlg);
    dlg.m_sizeAtInit = {307, 185};
    wintest::RunSoon([&] { dlg.EndDialog(IDOK); });
    dlg.DoModal();
    EXPECT_EQ(dlg.m_rcAtFirstShow.left, 40 + 172);
    EXPECT_EQ(dlg.m_rcAtFirstShow.top, 60 + 88);
}

TEST(WindowLayer, CentringKeepsTheWindowInsideTheWorkArea)
{
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    COwner owner(work.right - 200, work.bottom - 100);
    wintest::CDialogTemplate t = PopupTemplate();
    CProbeDialog dlg(t.Get(), &owner.dlg);
    dlg.m_sizeAtInit = {307, 185};
    RECT placed = {};
    wintest::RunSoon([&] {
        placed = WindowRectOf(dlg.m_hWnd);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
    EXPECT_EQ(placed.right, work.right);
    EXPECT_EQ(placed.bottom, work.bottom);
}

TEST(WindowLayer, DialogWithoutParentIsOwnedByTheMainWindowElseTheActiveWindow)
{
    COwner mainWindow(10, 10);
    COwner other(300, 300);
    CWinApp app;
    wintest::CDialogTemplate t = PopupTemplate();
    for (bool withMain : {true, false}) {
        app.m_pMainWnd = withMain ? &mainWindow.dlg : nullptr;
        SetActiveWindow(other.dlg.m_hWnd);
        CProbeDialog dlg(t.Get());
        HWND owned = nullptr;
        wintest::RunSoon([&] {
            owned = GetWindow(dlg.m_hWnd, GW_OWNER);
            dlg.EndDialog(IDOK);
        });
        dlg.DoModal();
        EXPECT_EQ(owned, withMain ? mainWindow.dlg.m_hWnd : other.dlg.m_hWnd);
    }
}

TEST(WindowLayer, PreTranslateMessageSwallowsKeysBeforeTheDialogManager)
{
    wintest::CDialogTemplate t = PopupTemplate();
    for (bool swallow : {true, false}) {
        CProbeDialog dlg(t.Get());
        dlg.m_bSwallowEscape = swallow;
        // The key goes through the dialog's own loop: the scripts only queue input and return.
        wintest::RunSoon([&] {
            SetForegroundWindow(dlg.m_hWnd);
            wintest::SendKey(VK_ESCAPE);
        });
        wintest::RunSoon([&] { dlg.EndDialog(77); }, 300);
        INT_PTR result = dlg.DoModal();
        wintest::CancelScripts();
        EXPECT_EQ(result, swallow ? 77 : IDCANCEL);  // Escape: WM_COMMAND IDCANCEL, then OnCancel
    }
}

TEST(WindowLayer, QuitMessageEndsTheModalLoopAndStaysQueuedForTheOuterLoop)
{
    wintest::CDialogTemplate t = PopupTemplate();
    CProbeDialog dlg(t.Get());
    wintest::RunSoon([] { PostQuitMessage(5); });
    EXPECT_EQ(dlg.DoModal(), -1);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

TEST(WindowLayer, RunTimeClassRecordsFollowTheBaseChain)
{
    CProbeButton button;
    EXPECT_STREQ(button.GetRuntimeClass()->m_lpszClassName, "CButton");
    EXPECT_TRUE(button.IsKindOf(&CWnd::classCWnd));
    EXPECT_TRUE(button.IsKindOf(&CObject::classCObject));
    EXPECT_FALSE(button.IsKindOf(&CDialog::classCDialog));
    wintest::CDialogTemplate t = PopupTemplate();
    CProbeDialog dlg(t.Get());
    EXPECT_TRUE(dlg.IsKindOf(&CDialog::classCDialog));
    EXPECT_FALSE(dlg.IsKindOf(&CButton::classCButton));
}
