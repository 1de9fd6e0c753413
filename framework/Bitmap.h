// CBitmap: an owned bitmap.
#pragma once

#include "GdiObject.h"

class CBitmap : public CGdiObject<HBITMAP> {
public:
    // From the resource module (GetResourceModule).
    BOOL LoadBitmap(UINT nIDResource);
    BOOL CreateCompatibleBitmap(HDC hDC, int width, int height)
    {
        return Take(::CreateCompatibleBitmap(hDC, width, height));
    }
    // Width and height in pixels; 0 x 0 when empty.
    SIZE GetSize() const;
};
