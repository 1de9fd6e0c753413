// CDialogEx: colour query routing and its default.
#include "DialogEx.h"

const CRuntimeClass CDialogEx::classCDialogEx = {"CDialogEx", &CDialog::classCDialog};

HBRUSH CDialogEx::OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor)
{
    return reinterpret_cast<HBRUSH>(::DefWindowProcW(m_hWnd, WM_CTLCOLORMSGBOX + nCtlColor,
                                                     reinterpret_cast<WPARAM>(hDC),
                                                     reinterpret_cast<LPARAM>(pWnd->GetSafeHwnd())));
}

bool CDialogEx::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        result = reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam),
                                                      FromHandle(reinterpret_cast<HWND>(lParam)),
                                                      msg - WM_CTLCOLORMSGBOX));
        return true;
    }
    return CDialog::OnMessage(msg, wParam, lParam, result);
}
