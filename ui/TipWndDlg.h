// CTipWndDlg: the skinned question "stop the running download?" with OK, Cancel and X image buttons.
#pragma once

#include "BitmapButtonEx.h"
#include "Brush.h"
#include "SkinnedDialog.h"

class CTipWndDlg : public CSkinnedDialog {
public:
    static const CRuntimeClass classCTipWndDlg;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCTipWndDlg; }

    // Template 132, no parent: centred on the main window, which it disables while open.
    CTipWndDlg();

    // Ends the question with IDCANCEL and leaves the answer as it is; the owner calls it to withdraw the question.
    void CloseTip();

    CBrush m_brush;             // pattern brush of the background picture, from OnInitDialog on
    bool m_bConfirmed = false;  // the last button answer: true only after OK; kept between showings
    bool m_bOpen = false;       // the question is on screen
    CBitmapButtonEx m_btnClose;
    CBitmapButtonEx m_btnOK;
    CBitmapButtonEx m_btnCancel;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnCommand(UINT nID) override;

private:
    void OnConfirm();
    void OnDecline();
    void OnDestroy();
    void LayoutButtons();
};
