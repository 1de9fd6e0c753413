// CBitmapButton: image loading, sizing and the default image choice.
#include "BitmapButton.h"

#include "MemoryDC.h"
#include "SelectGuard.h"

const CRuntimeClass CBitmapButton::classCBitmapButton = {"CBitmapButton", &CButton::classCButton};

BOOL CBitmapButton::LoadBitmaps(UINT nIDNormal, UINT nIDSelected, UINT nIDFocus, UINT nIDDisabled)
{
    m_bitmap.DeleteObject();
    m_bitmapSel.DeleteObject();
    m_bitmapFocus.DeleteObject();
    m_bitmapDisabled.DeleteObject();
    if (!m_bitmap.LoadBitmap(nIDNormal))
        return FALSE;
    BOOL allLoaded = TRUE;
    const struct {
        CBitmap& slot;
        UINT id;
    } extras[] = {{m_bitmapSel, nIDSelected}, {m_bitmapFocus, nIDFocus}, {m_bitmapDisabled, nIDDisabled}};
    for (const auto& extra : extras) {
        if (extra.id != 0 && !extra.slot.LoadBitmap(extra.id))
            allLoaded = FALSE;
    }
    return allLoaded;
}

void CBitmapButton::SizeToContent()
{
    const SIZE size = m_bitmap.GetSize();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

HBITMAP CBitmapButton::ImageFor(UINT itemState) const
{
    if ((itemState & ODS_SELECTED) && m_bitmapSel)
        return m_bitmapSel;
    if ((itemState & ODS_FOCUS) && m_bitmapFocus)
        return m_bitmapFocus;
    if ((itemState & ODS_DISABLED) && m_bitmapDisabled)
        return m_bitmapDisabled;
    return m_bitmap;
}

void CBitmapButton::DrawItem(DRAWITEMSTRUCT* pItem)
{
    DrawImage(pItem, ImageFor(pItem->itemState));
}

void CBitmapButton::DrawImage(const DRAWITEMSTRUCT* pItem, HBITMAP hImage)
{
    CMemoryDC memory(pItem->hDC);
    CSelectGuard select(memory, hImage);
    if (!memory.GetSafeHdc() || !select.Selected())
        return;
    const RECT& rc = pItem->rcItem;
    ::BitBlt(pItem->hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memory, 0, 0, SRCCOPY);
}
