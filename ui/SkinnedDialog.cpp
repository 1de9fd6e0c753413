// CSkinnedDialog: what the program's two skinned dialogs share: no keyboard ending, and clicks by identifier.
#include "SkinnedDialog.h"

BOOL CSkinnedDialog::PreTranslateMessage(MSG* pMsg)
{
    const bool bEscapeOrEnter = pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN);
    return bEscapeOrEnter || CDialogEx::PreTranslateMessage(pMsg);
}

bool CSkinnedDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && OnCommand(LOWORD(wParam)))
        return true;
    return CDialogEx::OnMessage(msg, wParam, lParam, result);
}
