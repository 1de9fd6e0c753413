// CMemoryDC: an owned memory device context compatible with another one.
#pragma once

#include <windows.h>

#include <utility>

class CMemoryDC {
public:
    explicit CMemoryDC(HDC hCompatible) : m_hDC(::CreateCompatibleDC(hCompatible)) {}
    CMemoryDC(CMemoryDC&& other) noexcept : m_hDC(std::exchange(other.m_hDC, nullptr)) {}
    CMemoryDC& operator=(CMemoryDC&&) = delete;
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    ~CMemoryDC()
    {
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

private:
    HDC m_hDC;
};
