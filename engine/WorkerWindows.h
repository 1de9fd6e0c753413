// Every window call a download worker makes: its notices to the dialog, and the four displays it keeps current
// with the size, speed and percent texts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The engine's status notice, posted (never sent) to the notify window with lParam 0 and a DL_STATUS_ code in wParam.
constexpr UINT WM_DOWNLOAD_STATUS = WM_USER + 1000;
constexpr WPARAM DL_STATUS_STARTED = 11030;  // first notice of every job, posted when its worker begins
constexpr WPARAM DL_STATUS_DONE = 11029;     // final: the whole file was received and written
constexpr WPARAM DL_STATUS_FAILED = 11028;   // final: every other outcome (stop, empty folder, network, disk,
                                             // signature, an unexpected error)

// The four displays the worker keeps current: window handles of the notify window's own controls, not owned.
struct CDownloadDisplays {
    HWND hProgress = nullptr;      // progress bar (control 1002), range 0..100
    HWND hPercentLabel = nullptr;  // static showing the percentage text (control 1003)
    HWND hSizeLabel = nullptr;     // static showing the file size text (control 1008)
    HWND hSpeedLabel = nullptr;    // static showing the speed text (control 1012)
};

// What a transfer counts and the displays show (worker thread only).
struct CTransferCounters {
    int64_t m_nTotalSize = 0;   // declared length of the file in bytes
    int64_t m_nDownloaded = 0;  // bytes received and written in the current transfer
    int64_t m_nSpeed = 0;       // bytes per second of the last completed speed sample (kept from job to job)
};

// The window a job reports to (the main dialog) and its four displays. Each call is a synchronous call into the
// dialog's thread, so it waits while that thread is busy. Once the notify window is no longer a window, no call is
// made at all (no notice, no refresh, no showing or hiding).
class CWorkerWindows {
public:
    // Takes the notify window and the displays, and empties the labels (through SetLabels): a job starts here.
    void Set(HWND hNotifyWnd, const CDownloadDisplays& displays);
    // Stores the three labels and empties their texts, and forgets what the displays showed (the next refresh sets
    // the bar); does nothing when any of them is null.
    void SetLabels(HWND hPercentLabel, HWND hSizeLabel, HWND hSpeedLabel);

    // True while the notify window exists: the only time the worker may call into the windows.
    bool Alive() const;
    void Notify(WPARAM code) const;
    // The bar to 0 of 0..100, then the bar and the labels shown.
    void ShowAtStart() const;
    void Hide() const;
    // Puts the counters into the bar and the three labels, leaving out what the screen already shows.
    void Refresh(const CTransferCounters& counters);

    static std::string FormatSizeText(int64_t nTotalSize);
    static std::string FormatSpeedText(int64_t nSpeed);
    // Empty when nDownloaded exceeds nTotalSize.
    static std::string FormatPercentText(int64_t nTotalSize, int64_t nDownloaded);
    // Sets a non-empty text and hides and shows the label so its transparent background is redrawn.
    static bool SetLabelText(HWND hLabel, const std::string& strText);

    const CDownloadDisplays& Displays() const { return m_displays; }

private:
    void ShowDisplays(int nCmdShow) const;
    // SetLabelText unless strText is empty or already shown (strShown, which it then updates).
    static void ShowLabelText(HWND hLabel, const std::string& strText, std::string& strShown);

    HWND m_hNotifyWnd = nullptr;
    CDownloadDisplays m_displays;
    // What the worker last put on the displays during this job; -1: the bar's position is not known.
    int m_nShownPosition = -1;
    std::string m_strShownPercent, m_strShownSpeed, m_strShownSize;
};
