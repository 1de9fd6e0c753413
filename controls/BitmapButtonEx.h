// CBitmapButtonEx: the skinned push button; shows its normal, pressed, hover or disabled image, never the focus.
#pragma once

#include "BitmapButton.h"

class CBitmapButtonEx : public CBitmapButton {
public:
    static const CRuntimeClass classCBitmapButtonEx;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCBitmapButtonEx; }

    // The pointer is over the button and a leave notification has been requested. The focus image slot of the
    // base (third LoadBitmaps argument) holds the hover image.
    BOOL m_bHover = FALSE;

protected:
    // Makes the template's push button owner-drawn.
    void PreSubclassWindow() override;
    // Pressed over disabled over hover over normal, each only when its image is loaded.
    void DrawItem(DRAWITEMSTRUCT* pItem) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnMouseMove();
    void OnMouseLeave();
};
