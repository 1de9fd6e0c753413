// What the skinned dialogs are made of: background pictures and image buttons.
#pragma once

#include "Bitmap.h"
#include "BitmapButtonEx.h"
#include "Brush.h"
#include "Wnd.h"

#include <initializer_list>
#include <utility>

// Makes brush a pattern of the bitmap resource; returns the picture's size, 0 x 0 when it is missing.
inline SIZE LoadPatternBrush(CBrush& brush, UINT bitmapId)
{
    CBitmap picture;  // the brush copies the picture; the bitmap goes at the end of the call
    if (picture.LoadBitmap(bitmapId))
        brush.CreatePatternBrush(picture);
    return picture.GetSize();
}

// Moves the window to (0, 0) at the picture's size; true when it did. Without its picture (0 x 0) the window
// keeps the template's size and place.
inline bool SizeToPicture(CWnd& window, SIZE picture)
{
    if (picture.cx <= 0 || picture.cy <= 0)
        return false;
    window.MoveWindow(0, 0, picture.cx, picture.cy, TRUE);
    return true;
}

// An image button's normal, pressed and hover pictures (bitmap resources).
struct ButtonImages {
    UINT normal, pressed, hover;
};

// The images show at the button's next repaint.
inline void SetButtonImages(CBitmapButtonEx& button, const ButtonImages& images)
{
    button.LoadBitmaps(images.normal, images.pressed, images.hover, 0);
}

// Gives each button its images and sizes it to its normal one.
inline void SkinButtons(std::initializer_list<std::pair<CBitmapButtonEx*, ButtonImages>> buttons)
{
    for (const auto& [button, images] : buttons) {
        SetButtonImages(*button, images);
        button->SizeToContent();
    }
}
