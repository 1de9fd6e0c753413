// CProgressCtrl: a platform progress bar; range and position live in the control.
#pragma once

#include "Wnd.h"

#include <commctrl.h>

class CProgressCtrl : public CWnd {
public:
    static const CRuntimeClass classCProgressCtrl;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCProgressCtrl; }

    void SetRange(short nLower, short nUpper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
    void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper); }
    void GetRange(int& nLower, int& nUpper) const;
    int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos), 0)); }
    int GetPos() const { return static_cast<int>(::SendMessageW(m_hWnd, PBM_GETPOS, 0, 0)); }
};
