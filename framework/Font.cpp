// CFont: point-size font creation.
#include "Font.h"

#include <cwchar>

BOOL CFont::CreatePointFont(int nPointSize, const wchar_t* faceName, HDC hDC)
{
    HDC hScreen = hDC ? nullptr : ::GetDC(nullptr);
    const int pixelsPerInch = ::GetDeviceCaps(hDC ? hDC : hScreen, LOGPIXELSY);
    if (hScreen)
        ::ReleaseDC(nullptr, hScreen);
    LOGFONTW logFont = {};
    logFont.lfHeight = -::MulDiv(nPointSize, pixelsPerInch, 720);  // negative: character height, not cell height
    logFont.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(logFont.lfFaceName, faceName, _TRUNCATE);
    return CreateFontIndirect(logFont);
}
