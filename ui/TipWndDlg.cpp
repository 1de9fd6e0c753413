// CTipWndDlg: skinning, button layout and the answer.
#include "TipWndDlg.h"

#include "DialogSkin.h"
#include "resource.h"

const CRuntimeClass CTipWndDlg::classCTipWndDlg = {"CTipWndDlg", &CDialogEx::classCDialogEx};

namespace {

// Button places in the background picture (client pixels): the X keeps 52 px from the right edge.
constexpr int kCloseRightMargin = 52;
constexpr int kCloseTop = 46;
constexpr int kOkLeft = 58;
constexpr int kButtonsTop = 115;
constexpr int kCancelGap = 6;  // Cancel starts 6 px right of OK's right edge

}  // namespace

CTipWndDlg::CTipWndDlg() : CSkinnedDialog(IDD_TIP) {}

void CTipWndDlg::DoDataExchange(CDataExchange* pDX)
{
    CSkinnedDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TIP_CLOSE, m_btnClose);
    DDX_Control(pDX, IDC_TIP_OK, m_btnOK);
    DDX_Control(pDX, IDC_TIP_CANCEL, m_btnCancel);
}

BOOL CTipWndDlg::OnInitDialog()
{
    CSkinnedDialog::OnInitDialog();

    // Without its picture the dialog keeps the template's size and place; the buttons are laid out all the same.
    if (SizeToPicture(*this, LoadPatternBrush(m_brush, IDB_BG_TIP)))
        CenterWindow();
    SkinButtons({{&m_btnClose, {IDB_TIP_CLOSE_NORMAL, IDB_TIP_CLOSE_PRESSED, IDB_TIP_CLOSE_HOVER}},
                 {&m_btnOK, {IDB_TIP_OK_NORMAL, IDB_TIP_OK_PRESSED, IDB_TIP_OK_HOVER}},
                 {&m_btnCancel, {IDB_TIP_CANCEL_NORMAL, IDB_TIP_CANCEL_PRESSED, IDB_TIP_CANCEL_HOVER}}});
    LayoutButtons();

    m_bOpen = true;
    return TRUE;  // the focus goes to the first tab stop, OK
}

void CTipWndDlg::LayoutButtons()
{
    RECT window;
    RECT close;
    RECT ok;
    GetWindowRect(&window);
    m_btnClose.GetWindowRect(&close);
    m_btnOK.GetWindowRect(&ok);
    const UINT flags = SWP_NOSIZE | SWP_NOZORDER;
    const int closeLeft = (window.right - window.left) - (close.right - close.left) - kCloseRightMargin;
    m_btnClose.SetWindowPos(nullptr, closeLeft, kCloseTop, 0, 0, flags);
    m_btnOK.SetWindowPos(nullptr, kOkLeft, kButtonsTop, 0, 0, flags);
    m_btnCancel.SetWindowPos(nullptr, kOkLeft + (ok.right - ok.left) + kCancelGap, kButtonsTop, 0, 0, flags);
}

HBRUSH CTipWndDlg::OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hBrush = CSkinnedDialog::OnCtlColor(hDC, pWnd, nCtlColor);
    if (pWnd == this && m_brush.GetSafeHandle())
        return m_brush;
    return hBrush;
}

bool CTipWndDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (msg == WM_DESTROY)
        OnDestroy();
    return CSkinnedDialog::OnMessage(msg, wParam, lParam, result);
}

bool CTipWndDlg::OnCommand(UINT nID)
{
    switch (nID) {
    case IDC_TIP_OK:
        OnConfirm();
        return true;
    case IDC_TIP_CANCEL:
    case IDC_TIP_CLOSE:
        OnDecline();
        return true;
    default:
        return false;
    }
}

void CTipWndDlg::OnConfirm()
{
    m_bConfirmed = true;
    CloseTip();
}

void CTipWndDlg::OnDecline()
{
    m_bConfirmed = false;
    CloseTip();
}

void CTipWndDlg::CloseTip()
{
    m_bOpen = false;
    CSkinnedDialog::OnCancel();
}

// However the window goes (Alt+F4 from its system menu included), the question is no longer on screen.
void CTipWndDlg::OnDestroy()
{
    m_bOpen = false;
}
