// CSelectGuard: selects an object into a device context and selects the previous one back in the destructor.
// Declare it after the object it selects, so that the object outlives its selection.
#pragma once

#include <windows.h>

class CSelectGuard {
public:
    CSelectGuard(HDC hDC, HGDIOBJ hObject) : m_hDC(hDC), m_hPrevious(hObject ? ::SelectObject(hDC, hObject) : nullptr)
    {
        if (m_hPrevious == HGDI_ERROR)
            m_hPrevious = nullptr;
    }
    CSelectGuard(const CSelectGuard&) = delete;
    CSelectGuard& operator=(const CSelectGuard&) = delete;
    ~CSelectGuard()
    {
        if (m_hPrevious)
            ::SelectObject(m_hDC, m_hPrevious);
    }

    // False when nothing was selected (no object given, or the selection failed).
    bool Selected() const { return m_hPrevious != nullptr; }

private:
    HDC m_hDC;
    HGDIOBJ m_hPrevious;
};
