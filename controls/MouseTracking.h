// RequestMouseTracking: asks the platform to tell a window when the pointer leaves it or rests on it.
#pragma once

#include <windows.h>

// flags: TME_LEAVE, TME_HOVER (after hoverMs of rest) or both. False when the platform refuses the request.
inline bool RequestMouseTracking(HWND hWnd, DWORD flags, DWORD hoverMs = 0)
{
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof track;  // the platform rejects any other size (16 is only the 32-bit one)
    track.dwFlags = flags;
    track.hwndTrack = hWnd;
    track.dwHoverTime = hoverMs;
    return TrackMouseEvent(&track) != FALSE;
}
