// CPaintDC: BeginPaint in the constructor, EndPaint in the destructor.
#pragma once

#include <windows.h>

class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(::BeginPaint(hWnd, &m_ps)) {}
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    PAINTSTRUCT m_ps = {};

private:
    HWND m_hWnd;
    HDC m_hDC;
};
