// A top-level window with a real progress bar and three statics that record what a download worker does to them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Stands in for the main dialog in engine tests. Its windows belong to the thread that creates it; a worker
// on another thread reaches them only while that thread pumps messages (PumpUntil, in WindowTest.h).
class CTestDisplays {
public:
    // Notices arrive as nNoticeMessage posted to Window(). The four controls start hidden.
    explicit CTestDisplays(UINT nNoticeMessage);
    ~CTestDisplays();

    CTestDisplays(const CTestDisplays&) = delete;
    CTestDisplays& operator=(const CTestDisplays&) = delete;

    HWND Window() const { return m_hWnd; }
    HWND Progress() const { return m_hProgress; }
    HWND PercentLabel() const { return m_hPercent; }
    HWND SizeLabel() const { return m_hSize; }
    HWND SpeedLabel() const { return m_hSpeed; }

    // Destroys the window and its controls (a second call does nothing).
    void Destroy();

    static std::wstring Text(HWND hWnd);
    static bool Visible(HWND hWnd);  // the control's own WS_VISIBLE, whatever its parent shows
    int Position() const;

    // Recorded as the messages arrive, in order.
    std::vector<int> m_positions;  // every PBM_SETPOS
    std::vector<std::wstring> m_percentTexts, m_sizeTexts, m_speedTexts;  // every non-empty WM_SETTEXT
    std::vector<WPARAM> m_notices;
    std::vector<std::pair<HWND, bool>> m_visibilityChanges;  // every WM_SHOWWINDOW of a control: shown or hidden

    // Called before the bar takes a PBM_SETPOS, and when a notice arrives.
    std::function<void(int nPosition)> m_onSetPos;
    std::function<void(WPARAM wParam)> m_onNotice;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, UINT_PTR nId,
                                        DWORD_PTR pRefData);

    UINT m_nNoticeMessage;
    HWND m_hWnd = nullptr;
    HWND m_hProgress = nullptr;
    HWND m_hPercent = nullptr;
    HWND m_hSize = nullptr;
    HWND m_hSpeed = nullptr;
};

