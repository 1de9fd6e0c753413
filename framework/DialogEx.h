// CDialogEx: the dialog base of the program's windows; adds the colour query as a named handler.
#pragma once

#include "Dialog.h"

class CDialogEx : public CDialog {
public:
    static const CRuntimeClass classCDialogEx;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCDialogEx; }

    explicit CDialogEx(UINT nIDTemplate, CWnd* pParentWnd = nullptr) : CDialog(nIDTemplate, pParentWnd) {}

protected:
    // WM_CTLCOLOR*: nCtlColor is CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC, pWnd the window asking (the dialog itself for
    // CTLCOLOR_DLG). By the time it runs, the control asking has already been offered the reflected query and
    // declined; the default is the platform's brush and colours. The brush returned paints the background, for
    // the dialog itself in the platform's dialog erase (WM_ERASEBKGND is left to the dialog manager).
    virtual HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor);

    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
