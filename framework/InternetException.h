// The failure of an internet session operation, carrying the WinINet (or system) error code.
#pragma once

#include <windows.h>

#include <exception>

class CInternetException : public std::exception {
public:
    explicit CInternetException(DWORD dwError) : m_dwError(dwError) {}

    DWORD GetErrorCode() const { return m_dwError; }
    const char* what() const noexcept override;

    DWORD m_dwError;
};
