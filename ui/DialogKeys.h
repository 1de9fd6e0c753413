// The keys the skinned dialogs leave unanswered.
#pragma once

#include <windows.h>

// Escape and Enter would end a dialog through its Cancel and OK commands; the skinned dialogs end only through
// their own image buttons, so their PreTranslateMessage swallows these two keys.
inline bool IsEscapeOrEnter(const MSG& msg)
{
    return msg.message == WM_KEYDOWN && (msg.wParam == VK_ESCAPE || msg.wParam == VK_RETURN);
}
