// CEdit: a platform edit box.
#pragma once

#include "Wnd.h"

class CEdit : public CWnd {
public:
    static const CRuntimeClass classCEdit;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCEdit; }

    void SetSel(int nStart, int nEnd) { ::SendMessageW(m_hWnd, EM_SETSEL, static_cast<WPARAM>(nStart), nEnd); }
};
