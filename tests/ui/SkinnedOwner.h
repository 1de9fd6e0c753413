// A visible 650 x 360 owner window painted with the downloading view's picture, standing in for the main window.
#pragma once

#include "Bitmap.h"
#include "Brush.h"
#include "DialogEx.h"
#include "WinApp.h"
#include "WindowTest.h"
#include "resource.h"

#include <functional>

class CSkinnedOwner : public CDialogEx {
public:
    static constexpr UINT kRunMessage = WM_APP + 1;  // runs m_onRun from the owner's own handler

    std::function<void()> m_onRun;

    CSkinnedOwner(int x, int y) : CDialogEx(0), m_template(WS_POPUP | WS_SYSMENU, 100, 60, L"owner")
    {
        InitModalIndirect(m_template.Get());
        CBitmap picture;
        picture.LoadBitmap(IDB_BG_DOWNLOADING);
        m_brush.CreatePatternBrush(picture);
        Create();
        MoveWindow(x, y, 650, 360);
        ShowWindow(SW_SHOW);
        SetForegroundWindow(m_hWnd);
        m_app.m_pMainWnd = this;
        wintest::PumpFor(30);
    }

protected:
    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) override
    {
        return pWnd == this ? m_brush.GetSafeHandle() : CDialogEx::OnCtlColor(hDC, pWnd, nCtlColor);
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == kRunMessage && m_onRun) {
            m_onRun();
            return true;
        }
        return CDialogEx::OnMessage(msg, wParam, lParam, result);
    }

private:
    wintest::CDialogTemplate m_template;
    CBrush m_brush;
    CWinApp m_app;  // its main window is this owner, for dialogs made without a parent
};
