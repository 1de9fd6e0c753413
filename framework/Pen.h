// CPen: an owned pen.
#pragma once

#include "GdiObject.h"

class CPen : public CGdiObject<HPEN> {
public:
    BOOL CreatePen(int style, int width, COLORREF color) { return Take(::CreatePen(style, width, color)); }
};
