// CWindowDC: a device context of a whole window, frame included, released in the destructor like a client one.
#pragma once

#include "ClientDC.h"

class CWindowDC : public CClientDC {
public:
    explicit CWindowDC(HWND hWnd) : CClientDC(hWnd, ::GetWindowDC(hWnd)) {}
};
