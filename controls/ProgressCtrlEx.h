// CProgressCtrlEx: a progress bar with a flat two-ring frame and solid fill, rendered off screen in one copy.
#pragma once

#include "ProgressCtrl.h"

class CProgressCtrlEx : public CProgressCtrl {
public:
    static const CRuntimeClass classCProgressCtrlEx;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCProgressCtrlEx; }

    // Settings the owner writes directly; they show at the next paint. m_rcPaint starts at (0, 0) and the owner
    // sizes the window to it.
    COLORREF m_clrBar = RGB(63, 163, 244);
    COLORREF m_clrBack = RGB(235, 235, 235);
    COLORREF m_clrText = RGB(0, 0, 0);  // caption colour
    BOOL m_bShowPercent = TRUE;         // the caption ends with the percentage
    RECT m_rcPaint = {0, 0, 359, 25};

    static constexpr COLORREF kOuterRing = RGB(43, 51, 85);
    static constexpr COLORREF kInnerRing = RGB(28, 34, 57);

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnPaint();
    // The share done, 0 to 1; an empty or reversed range counts as nothing done.
    double DoneRatio() const;
    // The window text followed, with m_bShowPercent, by the percentage ("50% ").
    std::wstring Caption(double ratio) const;
};
