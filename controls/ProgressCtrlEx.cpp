// CProgressCtrlEx: off-screen painting of frame, background, fill and caption.
#include "ProgressCtrlEx.h"

#include "Bitmap.h"
#include "MemoryDC.h"
#include "PaintDC.h"
#include "SelectGuard.h"

#include <algorithm>
#include <cwchar>

const CRuntimeClass CProgressCtrlEx::classCProgressCtrlEx = {"CProgressCtrlEx", &CProgressCtrl::classCProgressCtrl};

namespace {

// A solid rectangle without outline and without making a brush (an opaque, empty text output).
void FillSolid(HDC hDC, const RECT& rect, COLORREF color)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    const COLORREF previous = SetBkColor(hDC, color);
    ExtTextOutW(hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(hDC, previous);
}

}  // namespace

bool CProgressCtrlEx::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_ERASEBKGND:
        result = TRUE;  // the paint covers everything: erasing would only flicker
        return true;
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    }
    return CProgressCtrl::OnMessage(msg, wParam, lParam, result);
}

double CProgressCtrlEx::DoneRatio() const
{
    int lower = 0;
    int upper = 0;
    GetRange(lower, upper);
    if (upper <= lower)  // the plain formula would divide by zero
        return 0.0;
    return std::clamp(static_cast<double>(GetPos() - lower) / (upper - lower), 0.0, 1.0);
}

std::wstring CProgressCtrlEx::Caption(double ratio) const
{
    std::wstring caption = GetWindowTextW();
    if (m_bShowPercent) {
        wchar_t percent[16];
        swprintf(percent, 16, L"%d%% ", static_cast<int>(ratio * 100 + 0.5));
        caption += percent;
    }
    return caption;
}

void CProgressCtrlEx::OnPaint()
{
    CPaintDC dc(m_hWnd);
    const int width = m_rcPaint.right - m_rcPaint.left;
    const int height = m_rcPaint.bottom - m_rcPaint.top;
    CMemoryDC memory(dc);
    CBitmap image;
    if (!memory.GetSafeHdc() || !image.CreateCompatibleBitmap(dc, width, height))
        return;
    CSelectGuard selectImage(memory, image);
    const double ratio = DoneRatio();
    const bool vertical = (GetStyle() & PBS_VERTICAL) != 0;

    RECT r = m_rcPaint;
    FillSolid(memory, r, kOuterRing);
    InflateRect(&r, -1, -1);
    FillSolid(memory, r, kInnerRing);
    InflateRect(&r, -1, -1);
    FillSolid(memory, r, m_clrBack);
    const RECT inner = r;

    // The caption is drawn centred on a horizontal bar tall enough for the parent's font; the 10-pixel bar of
    // the main window shows none (its percentage has a label of its own).
    const std::wstring caption = Caption(ratio);
    CWnd* pParent = GetParent();
    CSelectGuard selectFont(memory, pParent ? pParent->GetFont() : nullptr);
    SIZE extent = {0, 0};
    GetTextExtentPoint32W(memory, caption.c_str(), static_cast<int>(caption.size()), &extent);

    RECT fill = inner;
    if (vertical)
        fill.top = inner.bottom - static_cast<int>((inner.bottom - inner.top) * ratio);
    else
        fill.right = inner.left + static_cast<int>((inner.right - inner.left) * ratio);
    FillSolid(memory, fill, m_clrBar);

    if (!vertical && !caption.empty() && extent.cy > 0 && extent.cy <= inner.bottom - inner.top) {
        SetBkMode(memory, TRANSPARENT);
        SetTextColor(memory, m_clrText);
        RECT textRect = inner;
        DrawTextW(memory, caption.c_str(), static_cast<int>(caption.size()), &textRect,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }

    BitBlt(dc, m_rcPaint.left, m_rcPaint.top, width, height, memory, 0, 0, SRCCOPY);
}
