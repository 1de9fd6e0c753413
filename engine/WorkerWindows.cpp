// Every window call a download worker makes: its notices to the dialog, and the four displays it keeps current
// with the size, speed and percent texts.
#include "WorkerWindows.h"

#include "TextConversion.h"

#include <commctrl.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr size_t kTextBufferBytes = 64;
constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1024 * 1024;
constexpr double kPercent = 100.0;
constexpr int kProgressMax = 100;

// The display formats are stored in GBK; msvcrt's formatting (vsprintf_s) rounds as the texts expect
// (1.25 gives 1.3, where mingw's own printf gives 1.2).
std::string FormatText(const char* pszFormat, ...)
{
    char szText[kTextBufferBytes] = {};
    va_list args;
    va_start(args, pszFormat);
    vsprintf_s(szText, kTextBufferBytes, pszFormat, args);
    va_end(args);
    return szText;
}

struct CUnitFormats {
    const char* pszMega;
    const char* pszKilo;
    const char* pszPlain;
};

std::string FormatWithUnit(int64_t nValue, const CUnitFormats& formats)
{
    const double dValue = static_cast<double>(nValue);
    if (nValue > kMiB)
        return FormatText(formats.pszMega, std::ldexp(dValue, -20));
    if (nValue > kKiB)
        return FormatText(formats.pszKilo, std::ldexp(dValue, -10));
    return FormatText(formats.pszPlain, dValue);
}

}  // namespace

void CWorkerWindows::Set(HWND hNotifyWnd, const CDownloadDisplays& displays)
{
    m_hNotifyWnd = hNotifyWnd;
    m_displays.hProgress = displays.hProgress;
    SetLabels(displays.hPercentLabel, displays.hSizeLabel, displays.hSpeedLabel);
}

void CWorkerWindows::SetLabels(HWND hPercentLabel, HWND hSizeLabel, HWND hSpeedLabel)
{
    if (hPercentLabel == nullptr || hSizeLabel == nullptr || hSpeedLabel == nullptr)
        return;
    m_displays.hPercentLabel = hPercentLabel;
    m_displays.hSizeLabel = hSizeLabel;
    m_displays.hSpeedLabel = hSpeedLabel;
    for (HWND hLabel : {hPercentLabel, hSizeLabel, hSpeedLabel})
        SetWindowTextW(hLabel, L"");
    m_nShownPosition = -1;
    m_strShownPercent.clear();
    m_strShownSpeed.clear();
    m_strShownSize.clear();
}

bool CWorkerWindows::Alive() const
{
    return IsWindow(m_hNotifyWnd) != FALSE;
}

void CWorkerWindows::Notify(WPARAM code) const
{
    if (Alive())
        PostMessageW(m_hNotifyWnd, WM_DOWNLOAD_STATUS, code, 0);
}

void CWorkerWindows::ShowAtStart() const
{
    if (!Alive())
        return;
    SendMessageW(m_displays.hProgress, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressMax));
    SendMessageW(m_displays.hProgress, PBM_SETPOS, 0, 0);
    ShowDisplays(SW_SHOW);
}

void CWorkerWindows::Hide() const
{
    if (Alive())
        ShowDisplays(SW_HIDE);
}

// Two owners show and hide these four controls: the dialog's view table (shown in the downloading view, hidden in
// every other) and the worker. The worker's notices are posted, so the dialog may handle DL_STATUS_STARTED only after
// the first refresh has written into the controls, and the final notice only after the worker has ended; the
// worker's own calls make the controls visible exactly while it writes them, whenever the dialog gets there.
void CWorkerWindows::ShowDisplays(int nCmdShow) const
{
    for (HWND hControl : {m_displays.hProgress, m_displays.hPercentLabel, m_displays.hSizeLabel, m_displays.hSpeedLabel})
        ShowWindow(hControl, nCmdShow);
}

std::string CWorkerWindows::FormatSizeText(int64_t nTotalSize)
{
    static constexpr CUnitFormats kSizeFormats = {"文件大小: %0.1f MB", "文件大小: %0.1f KB", "文件大小: %0.1f B"};
    return FormatWithUnit(nTotalSize, kSizeFormats);
}

std::string CWorkerWindows::FormatSpeedText(int64_t nSpeed)
{
    static constexpr CUnitFormats kSpeedFormats = {"下载速度: %0.1f mb/s", "下载速度: %0.1f kb/s", "下载速度: %0.1f b/s"};
    return FormatWithUnit(nSpeed, kSpeedFormats);
}

std::string CWorkerWindows::FormatPercentText(int64_t nTotalSize, int64_t nDownloaded)
{
    if (nDownloaded > nTotalSize)
        return {};
    return FormatText("已下载 %0.1lf %%", static_cast<double>(nDownloaded) / static_cast<double>(nTotalSize) * kPercent);
}

bool CWorkerWindows::SetLabelText(HWND hLabel, const std::string& strText)
{
    if (strText.empty())
        return false;
    SetWindowTextW(hLabel, AnsiToWide(strText).c_str());
    // The labels are transparent over the skin: hiding and showing repaints the background under them.
    ShowWindow(hLabel, SW_HIDE);
    ShowWindow(hLabel, SW_SHOW);
    return true;
}

void CWorkerWindows::ShowLabelText(HWND hLabel, const std::string& strText, std::string& strShown)
{
    if (strText.empty() || strText == strShown)
        return;
    SetLabelText(hLabel, strText);
    strShown = strText;
}

void CWorkerWindows::Refresh(const CTransferCounters& counters)
{
    if (!Alive())
        return;
    // Each window call waits for the dialog's thread and may repaint: one whose result is already on the
    // screen is left out. The worker is the only writer of these four controls during a job.
    const double dPercent =
        static_cast<double>(counters.m_nDownloaded) / static_cast<double>(counters.m_nTotalSize) * kPercent;
    const int nPosition = static_cast<int>(dPercent);
    if (nPosition != m_nShownPosition) {
        SendMessageW(m_displays.hProgress, PBM_SETPOS, static_cast<WPARAM>(nPosition), 0);
        m_nShownPosition = nPosition;
    }
    if (m_displays.hPercentLabel != nullptr)
        ShowLabelText(m_displays.hPercentLabel, FormatPercentText(counters.m_nTotalSize, counters.m_nDownloaded),
                      m_strShownPercent);
    if (m_displays.hSpeedLabel != nullptr)
        ShowLabelText(m_displays.hSpeedLabel, FormatSpeedText(counters.m_nSpeed), m_strShownSpeed);
    // The size is written once per job, into the label that SetLabels emptied.
    if (m_displays.hSizeLabel != nullptr && m_strShownSize.empty())
        ShowLabelText(m_displays.hSizeLabel, FormatSizeText(counters.m_nTotalSize), m_strShownSize);
}
