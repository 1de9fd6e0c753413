// CButton: the reflected owner-draw request.
#include "Button.h"

const CRuntimeClass CButton::classCButton = {"CButton", &CWnd::classCWnd};

bool CButton::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_REFLECT_BASE + WM_DRAWITEM:
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    return CWnd::OnMessage(msg, wParam, lParam, result);
}
