// A visible modeless dialog at a fixed screen place that binds one control object to its control, as a dialog
// of the program does through DDX_Control.
#pragma once

#include "DialogEx.h"
#include "WindowTest.h"

class CControlHost : public CDialogEx {
public:
    static constexpr WORD kControlId = 1;
    static constexpr WORD kOtherId = 2;  // a plain button that can take the focus

    CControlHost(CWnd& control, const wchar_t* className, DWORD style)
        : CDialogEx(0), m_control(control), m_template(WS_POPUP | WS_VISIBLE, 300, 150)
    {
        m_template.AddControl(className, L"", kControlId, style | WS_TABSTOP, 10, 10, 100, 14);
        m_template.AddControl(L"BUTTON", L"other", kOtherId, BS_PUSHBUTTON | WS_TABSTOP, 10, 60, 40, 14);
        InitModalIndirect(m_template.Get());
    }

    // Creates, places and activates the host, and lets it paint.
    void Open(int x = 100, int y = 100, int width = 600, int height = 200)
    {
        Create();
        MoveWindow(x, y, width, height);
        ShowWindow(SW_SHOW);
        SetForegroundWindow(m_hWnd);
        wintest::PumpFor(30);
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, kControlId, m_control); }

private:
    CWnd& m_control;
    wintest::CDialogTemplate m_template;
};
