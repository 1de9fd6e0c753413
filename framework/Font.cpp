// CFont: point-size font creation.
#include "Font.h"

#include "ClientDC.h"

#include <cwchar>

BOOL CFont::CreatePointFont(int nPointSize, const wchar_t* faceName, HDC hDC)
{
    const int pixelsPerInch = hDC ? ::GetDeviceCaps(hDC, LOGPIXELSY) : ::GetDeviceCaps(CClientDC(nullptr), LOGPIXELSY);
    LOGFONTW logFont = {};
    logFont.lfHeight = -::MulDiv(nPointSize, pixelsPerInch, 720);  // negative: character height, not cell height
    logFont.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(logFont.lfFaceName, faceName, _TRUNCATE);
    return CreateFontIndirect(logFont);
}
