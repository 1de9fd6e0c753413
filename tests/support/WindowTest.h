// Helpers for tests of real windows: dialog templates in memory, message pumping, pixels read back, input.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace wintest {

// A dialog template built in memory (no font: dialog units of the system font; tests place controls in pixels).
class CDialogTemplate {
public:
    CDialogTemplate(DWORD style, short cx, short cy, const wchar_t* title = L"");
    // className: a window class name such as L"BUTTON", L"EDIT", L"STATIC", L"msctls_progress32".
    void AddControl(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x, short y, short cx,
                    short cy);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void AddString(const wchar_t* text);
    void AlignToDword();
    std::vector<WORD> m_words;
};

// Dispatches the thread's messages for about ms milliseconds.
void PumpFor(DWORD ms);
// Dispatches messages until done() or timeoutMs; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);

// Runs script once from inside the message loop that runs delayMs from now (a one-shot thread timer), typically
// a dialog's modal loop. CancelScripts drops those that have not run (their loop ended first).
void RunSoon(std::function<void()> script, UINT delayMs = 10);
void CancelScripts();

// Pixels of a window's client area (or of a screen rectangle) as the screen shows them.
struct CPixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> data;

    COLORREF At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
    // Number of pixels of the given colour inside [left, right) x [top, bottom).
    int Count(COLORREF color, int left, int top, int right, int bottom) const;
};
CPixels CaptureClient(HWND hWnd);
CPixels CaptureScreen(const RECT& rect);

// Writes the picture as a 24-bit BMP into the folder TARNVIK_SCREENSHOT_DIR names (does nothing when unset).
void SaveScreenshot(const CPixels& pixels, const char* name);

// Real input: moves the pointer (and clicks) at screen coordinates, then dispatches messages for settleMs.
void MoveMouseTo(int x, int y, DWORD settleMs = 50);
void ClickAt(int x, int y, DWORD settleMs = 50);
void PressKey(WORD vk, DWORD settleMs = 50);
// Queues a key press and release without dispatching anything (the running loop processes it).
void SendKey(WORD vk);
// The centre of a window in screen coordinates.
POINT CentreOf(HWND hWnd);

// A solid 24-bit bitmap (the caller owns it).
HBITMAP MakeSolidBitmap(int width, int height, COLORREF color);

// GDI objects of this process (GetGuiResources; under Wine, which does not count, an equivalent measure whose
// differences are exact).
DWORD GdiObjectCount();

}  // namespace wintest
