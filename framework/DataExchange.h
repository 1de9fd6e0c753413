// Dialog data exchange: binding a dialog's controls to the control objects that are members of the dialog.
#pragma once

#include <windows.h>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// Subclasses the dialog's control nIDC with rControl, once: an object that is already bound is left alone.
// The object stays bound until the control window is destroyed, so a dialog shown again binds it anew.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
