// Helpers for tests of real windows: dialog templates in memory, message pumping, pixels read back, input.
#include "WindowTest.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace wintest {

CDialogTemplate::CDialogTemplate(DWORD style, short cx, short cy, const wchar_t* title)
{
    DLGTEMPLATE header = {};
    header.style = style;
    header.cx = cx;
    header.cy = cy;
    m_words.resize(sizeof header / sizeof(WORD));
    std::memcpy(m_words.data(), &header, sizeof header);
    m_words.push_back(0);  // no menu
    m_words.push_back(0);  // the standard dialog class
    AddString(title);
}

void CDialogTemplate::AddString(const wchar_t* text)
{
    for (; *text; ++text)
        m_words.push_back(static_cast<WORD>(*text));
    m_words.push_back(0);
}

void CDialogTemplate::AlignToDword()
{
    if (m_words.size() % 2)
        m_words.push_back(0);
}

void CDialogTemplate::AddControl(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x, short y,
                                 short cx, short cy)
{
    AlignToDword();
    DLGITEMTEMPLATE item = {};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    const size_t at = m_words.size();
    m_words.resize(at + sizeof item / sizeof(WORD));
    std::memcpy(&m_words[at], &item, sizeof item);
    AddString(className);
    AddString(text);
    m_words.push_back(0);  // no creation data
    reinterpret_cast<DLGTEMPLATE*>(m_words.data())->cdit++;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 5)),
                                  QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

namespace {

std::map<UINT_PTR, std::function<void()>>& PendingScripts()
{
    static std::map<UINT_PTR, std::function<void()>> scripts;
    return scripts;
}

VOID CALLBACK RunScript(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(nullptr, idEvent);
    auto found = PendingScripts().find(idEvent);
    if (found == PendingScripts().end())
        return;
    std::function<void()> script = std::move(found->second);
    PendingScripts().erase(found);
    script();
}

CPixels CaptureFrom(HDC hSource, int left, int top, int width, int height)
{
    CPixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.data.resize(static_cast<size_t>(width) * height);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP hDib = CreateDIBSection(hSource, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC hMemory = CreateCompatibleDC(hSource);
    HGDIOBJ previous = SelectObject(hMemory, hDib);
    BitBlt(hMemory, 0, 0, width, height, hSource, left, top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < pixels.data.size(); ++i)  // DIB pixels are 0x00RRGGBB, COLORREF is 0x00BBGGRR
        pixels.data[i] = RGB(GetBValue(source[i]), GetGValue(source[i]), GetRValue(source[i]));
    SelectObject(hMemory, previous);
    DeleteDC(hMemory);
    DeleteObject(hDib);
    return pixels;
}

void SendMouse(DWORD flags, int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    input.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

}  // namespace

void RunSoon(std::function<void()> script, UINT delayMs)
{
    UINT_PTR id = SetTimer(nullptr, 0, delayMs, RunScript);
    PendingScripts()[id] = std::move(script);
}

void CancelScripts()
{
    for (const auto& pending : PendingScripts())
        KillTimer(nullptr, pending.first);
    PendingScripts().clear();
}

int CPixels::Count(COLORREF color, int left, int top, int right, int bottom) const
{
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x)
            count += At(x, y) == color;
    }
    return count;
}

CPixels CaptureClient(HWND hWnd)
{
    RECT rc;
    GetClientRect(hWnd, &rc);
    HDC hDC = GetDC(hWnd);
    CPixels pixels = CaptureFrom(hDC, 0, 0, rc.right, rc.bottom);
    ReleaseDC(hWnd, hDC);
    return pixels;
}

CPixels CaptureScreen(const RECT& rect)
{
    HDC hDC = GetDC(nullptr);
    CPixels pixels = CaptureFrom(hDC, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    ReleaseDC(nullptr, hDC);
    return pixels;
}

void SaveScreenshot(const CPixels& pixels, const char* name)
{
    const char* folder = std::getenv("TARNVIK_SCREENSHOT_DIR");
    if (!folder || !*folder)
        return;
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s\\%s.bmp", folder, name);
    FILE* file = nullptr;
    if (fopen_s(&file, path, "wb") != 0)
        return;
    const int rowBytes = (pixels.width * 3 + 3) & ~3;
    BITMAPFILEHEADER fileHeader = {};
    BITMAPINFOHEADER infoHeader = {};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof infoHeader;
    fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(rowBytes * pixels.height);
    infoHeader.biSize = sizeof infoHeader;
    infoHeader.biWidth = pixels.width;
    infoHeader.biHeight = pixels.height;  // bottom-up rows
    infoHeader.biPlanes = 1;
    infoHeader.biBitCount = 24;
    fwrite(&fileHeader, sizeof fileHeader, 1, file);
    fwrite(&infoHeader, sizeof infoHeader, 1, file);
    std::vector<BYTE> row(static_cast<size_t>(rowBytes));
    for (int y = pixels.height - 1; y >= 0; --y) {
        for (int x = 0; x < pixels.width; ++x) {
            COLORREF c = pixels.At(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
        fwrite(row.data(), 1, row.size(), file);
    }
    fclose(file);
}

void MoveMouseTo(int x, int y, DWORD settleMs)
{
    SetCursorPos(x, y);
    SendMouse(MOUSEEVENTF_MOVE, x, y);
    PumpFor(settleMs);
}

void ClickAt(int x, int y, DWORD settleMs)
{
    MoveMouseTo(x, y, 10);
    SendMouse(MOUSEEVENTF_LEFTDOWN, x, y);
    PumpFor(10);
    SendMouse(MOUSEEVENTF_LEFTUP, x, y);
    PumpFor(settleMs);
}

void SendKey(WORD vk)
{
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = vk;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof inputs[0]);
}

void PressKey(WORD vk, DWORD settleMs)
{
    SendKey(vk);
    PumpFor(settleMs);
}

POINT CentreOf(HWND hWnd)
{
    RECT rc;
    GetWindowRect(hWnd, &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

HBITMAP MakeSolidBitmap(int width, int height, COLORREF color)
{
    HDC hScreen = GetDC(nullptr);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, width, height);
    HDC hMemory = CreateCompatibleDC(hScreen);
    HGDIOBJ previous = SelectObject(hMemory, hBitmap);
    HBRUSH hBrush = CreateSolidBrush(color);
    RECT rc = {0, 0, width, height};
    FillRect(hMemory, &rc, hBrush);
    DeleteObject(hBrush);
    SelectObject(hMemory, previous);
    DeleteDC(hMemory);
    ReleaseDC(nullptr, hScreen);
    return hBitmap;
}

DWORD GdiObjectCount()
{
    if (DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return reported;
    // Wine does not count (it answers 0): measure the free handle slots instead, by taking them all and giving
    // them back. Objects in use = the probe's ceiling less the free slots, so differences are exact.
    constexpr size_t kProbeCeiling = 1 << 20;
    std::vector<HBRUSH> taken;
    taken.reserve(1 << 17);
    while (taken.size() < kProbeCeiling) {
        HBRUSH hBrush = CreateSolidBrush(RGB(1, 2, 3));
        if (!hBrush)
            break;
        taken.push_back(hBrush);
    }
    for (HBRUSH hBrush : taken)
        DeleteObject(hBrush);
    return static_cast<DWORD>(kProbeCeiling - taken.size());
}

}  // namespace wintest
