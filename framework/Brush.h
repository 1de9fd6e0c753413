// CBrush: an owned brush.
#pragma once

#include "GdiObject.h"

class CBrush : public CGdiObject<HBRUSH> {
public:
    BOOL CreateSolidBrush(COLORREF color) { return Take(::CreateSolidBrush(color)); }
    // The brush keeps its own copy of the pattern: the bitmap may be released afterwards.
    BOOL CreatePatternBrush(HBITMAP hBitmap) { return Take(::CreatePatternBrush(hBitmap)); }
};
