// CBitmapButton: an owner-drawn button that shows one of four images.
#pragma once

#include "Bitmap.h"
#include "Button.h"

class CBitmapButton : public CButton {
public:
    static const CRuntimeClass classCBitmapButton;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCBitmapButton; }

    // Bitmap resource identifiers in the order normal, selected (pressed), focus, disabled; 0 means none. Releases
    // all four images first. False when the normal image fails (the others then stay empty) or any other
    // requested image fails. The new images show at the next repaint.
    BOOL LoadBitmaps(UINT nIDNormal, UINT nIDSelected = 0, UINT nIDFocus = 0, UINT nIDDisabled = 0);
    // Resizes the window to the normal image without moving, reordering, activating or redrawing it.
    void SizeToContent();

protected:
    // The image for an owner-draw state: selected, else focused, else disabled when the state has it and the image
    // exists; else normal.
    HBITMAP ImageFor(UINT itemState) const;
    // Draws ImageFor the item's state.
    void DrawItem(DRAWITEMSTRUCT* pItem) override;
    // Copies the image 1:1 from its top-left corner to the item rectangle; nothing when the slot is empty.
    static void DrawImage(const DRAWITEMSTRUCT* pItem, HBITMAP hImage);

    CBitmap m_bitmap;
    CBitmap m_bitmapSel;
    CBitmap m_bitmapFocus;
    CBitmap m_bitmapDisabled;
};
