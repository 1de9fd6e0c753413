// CAboutDlg: the plain About box (program icon, name and version, OK).
#pragma once

#include "DialogEx.h"

class CAboutDlg : public CDialogEx {
public:
    // Template 100, owned like every dialog made without a parent: by the main window. OK, Enter and Escape
    // close it through the inherited OnOK and OnCancel.
    CAboutDlg();
};
