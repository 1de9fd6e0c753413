// The failure of an internet session operation, carrying the WinINet (or system) error code.
#include "InternetException.h"

const char* CInternetException::what() const noexcept
{
    return "internet session error";
}
