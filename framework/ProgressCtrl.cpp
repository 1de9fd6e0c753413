// CProgressCtrl: its run-time class record and the range query.
#include "ProgressCtrl.h"

const CRuntimeClass CProgressCtrl::classCProgressCtrl = {"CProgressCtrl", &CWnd::classCWnd};

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const
{
    PBRANGE range = {};
    ::SendMessageW(m_hWnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    nLower = range.iLow;
    nUpper = range.iHigh;
}
