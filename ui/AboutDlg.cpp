// CAboutDlg: binds the About template; everything else is the dialog base's.
#include "AboutDlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUTBOX) {}
