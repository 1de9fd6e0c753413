// CClientDC: a device context of a window's client area (of the screen for no window), released in the destructor.
#pragma once

#include <windows.h>

#include <utility>

class CClientDC {
public:
    explicit CClientDC(HWND hWnd) : CClientDC(hWnd, ::GetDC(hWnd)) {}
    CClientDC(CClientDC&& other) noexcept : m_hWnd(other.m_hWnd), m_hDC(std::exchange(other.m_hDC, nullptr)) {}
    CClientDC& operator=(CClientDC&&) = delete;
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    ~CClientDC()
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

protected:
    // For the other device contexts that ReleaseDC gives back (CWindowDC).
    CClientDC(HWND hWnd, HDC hDC) : m_hWnd(hWnd), m_hDC(hDC) {}

private:
    HWND m_hWnd;
    HDC m_hDC;
};
