// CBitmap: loading from the resources and reading the size.
#include "Bitmap.h"

#include "ResourceModule.h"

BOOL CBitmap::LoadBitmap(UINT nIDResource)
{
    return Take(::LoadBitmapW(GetResourceModule(), MAKEINTRESOURCEW(nIDResource)));
}

SIZE CBitmap::GetSize() const
{
    BITMAP info = {};
    if (!m_handle || !::GetObjectW(m_handle, sizeof info, &info))
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}
