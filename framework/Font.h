// CFont: an owned font.
#pragma once

#include "GdiObject.h"

class CFont : public CGdiObject<HFONT> {
public:
    BOOL CreateFontIndirect(const LOGFONTW& logFont) { return Take(::CreateFontIndirectW(&logFont)); }
    // nPointSize in tenths of a point; the character height is nPointSize x the vertical pixels per inch of
    // hDC (the screen when null) / 720, rounded to the nearest pixel. Default character set, everything else default.
    BOOL CreatePointFont(int nPointSize, const wchar_t* faceName, HDC hDC = nullptr);
};
