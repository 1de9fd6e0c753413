// CBitmapButtonEx: image choice and hover tracking.
#include "BitmapButtonEx.h"

#include "MouseTracking.h"

const CRuntimeClass CBitmapButtonEx::classCBitmapButtonEx = {"CBitmapButtonEx", &CBitmapButton::classCBitmapButton};

void CBitmapButtonEx::PreSubclassWindow()
{
    CBitmapButton::PreSubclassWindow();
    ModifyStyle(0, BS_OWNERDRAW);
    // A window destroyed under the pointer never sends its leave notice: a new binding starts out of hover,
    // or the next window bound to this object would keep its hover image and never ask for tracking again.
    m_bHover = FALSE;
}

void CBitmapButtonEx::DrawItem(DRAWITEMSTRUCT* pItem)
{
    // The focus is never drawn; while hovered, the hover image (kept in the focus slot) stands for the normal one.
    HBITMAP hImage = ImageFor(pItem->itemState & ~ODS_FOCUS);
    if (hImage == m_bitmap && m_bHover && m_bitmapFocus)
        hImage = m_bitmapFocus;
    DrawImage(pItem, hImage);
}

bool CBitmapButtonEx::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_MOUSEMOVE:
        OnMouseMove();
        break;  // the button's own handling follows: pressing, capture and clicking stay the platform's
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    }
    return CBitmapButton::OnMessage(msg, wParam, lParam, result);
}

void CBitmapButtonEx::OnMouseMove()
{
    if (m_bHover)
        return;
    // Without a leave notification the hover image would stay for good: enter hover only when it is promised.
    if (!RequestMouseTracking(m_hWnd, TME_LEAVE))
        return;
    m_bHover = TRUE;
    InvalidateRect(nullptr, FALSE);  // every paint covers the button with an opaque image: no erase
}

void CBitmapButtonEx::OnMouseLeave()
{
    m_bHover = FALSE;
    InvalidateRect(nullptr, FALSE);
}
