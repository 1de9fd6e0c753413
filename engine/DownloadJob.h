// The download job record shared by the main dialog and its download worker, and the worker itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

class CHttpFile;

// The engine's status notice, posted (never sent) to m_hNotifyWnd with lParam 0 and a DL_STATUS_ code in wParam.
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

// One record serves every download of a run of the program. The dialog keeps it in a std::shared_ptr and
// starts and stops jobs with StartDownloadJob / StopDownloadJob (DownloadJobControl.h); the worker holds its
// own reference, so the record outlives every thread that can still touch it.
//
// The record is declared here alone; its operations live by concern, each file calling only those below it:
//   DownloadJobWorker.cpp    the worker thread and the job body (DownloadThreadProc, Run)
//   DownloadJobTransfer.cpp  the HTTP transfer into the target file (Transfer)
//   DownloadJobDisplays.cpp  the four displays: labels, showing and hiding, refreshes and their texts
//
// The engine reaches the displays only through window handles. Once m_hNotifyWnd is no longer a window,
// the worker makes no more window calls (no refresh, no notice, no hiding).
class CDownloadJob {
public:
    // The file every job writes, or a numbered variant of it (TarnvikBrowser1.exe ...).
    static constexpr const char* kFileName = "TarnvikBrowser.exe";

    CDownloadJob() = default;
    CDownloadJob(const CDownloadJob&) = delete;
    CDownloadJob& operator=(const CDownloadJob&) = delete;

    HWND m_hNotifyWnd = nullptr;          // the main dialog; receives WM_DOWNLOAD_STATUS
    std::atomic<bool> m_bStop{false};     // stop request: set by the dialog when it quits during a job
    CDownloadDisplays m_displays;         // set at every start (SetDisplays)
    int64_t m_nTotalSize = 0;             // declared length of the file in bytes
    int64_t m_nDownloaded = 0;            // bytes received and written in the current transfer
    int64_t m_nSpeed = 0;                 // bytes per second of the last completed speed sample
    std::string m_strTargetPath;          // the file the current or last job writes (narrow, ANSI code page)
    std::string m_strFolder;              // the chosen download folder (narrow)

    // A job ends in two steps: Run returns, then the worker posts its final notice and hides the displays with
    // window calls that the dialog's thread carries out. Hence two flags.
    // m_bRunning: true while Run runs (cleared by the worker when Run throws). StopDownloadJob waits on it: it sleeps
    // without pumping messages, so a window call of the worker would wait for it in turn, for the full 3 s.
    std::atomic<bool> m_bRunning{false};
    // m_bWorkerActive: set by StartDownloadJob before the thread exists, cleared after the worker's last window
    // call. StartDownloadJob refuses a new job while it is set, so that no old worker hides a new job's displays.
    std::atomic<bool> m_bWorkerActive{false};

    // How the last transfer ended, in words (narrow, GBK); shown nowhere, kept for diagnosis and tests.
    std::string m_strOutcome;

    // Takes the bar and, through SetLabels, the labels: the one way the displays are set.
    void SetDisplays(const CDownloadDisplays& displays);
    // Stores the three labels and empties their texts, and forgets what the displays showed (the next
    // refresh sets the bar); does nothing when any of them is null.
    void SetLabels(HWND hPercentLabel, HWND hSizeLabel, HWND hSpeedLabel);
    std::string GetTargetPath() const { return m_strTargetPath; }
    std::string GetFolder() const { return m_strFolder; }

    // The worker's body; the thread that runs it holds its own reference to the record (StartDownloadJob).
    static void DownloadThreadProc(CDownloadJob& job);

    // The job body on the worker thread: true when the file was downloaded completely and, when the build pins a
    // publisher, carries its valid signature; in such a build every other download deletes its file.
    bool Run();

    // Fetches the address into the file at strTargetPath; true when the whole declared length was written
    // and no stop was requested.
    bool Transfer(const std::string& strAddress, const std::string& strTargetPath);

    // Puts the counters into the bar and the three labels (worker thread).
    void UpdateProgress();

    std::string FormatSizeText() const;
    static std::string FormatSpeedText(int64_t nSpeed);
    // Empty when nDownloaded exceeds nTotalSize.
    static std::string FormatPercentText(int64_t nTotalSize, int64_t nDownloaded);
    // Sets a non-empty text and hides and shows the label so its transparent background is redrawn.
    static bool SetLabelText(HWND hLabel, const std::string& strText);

private:
    enum class ELoopEnd { Normal, Stopped, WriteFailed };

    // From an opened response to a closed target file: checks, the file and the read loop.
    bool ReceiveBody(CHttpFile& response, const std::string& strTargetPath);
    // Reads the body into pFile until nRemaining reaches 0, the body ends, a stop or a short write.
    ELoopEnd ReadBody(CHttpFile& response, FILE* pFile, int32_t& nRemaining);
    // The clock of the request's query and of the speed samples: whole seconds since 1970, low 32 bits.
    static uint32_t ClockSeconds();
    // True while the notify window exists: the only time the worker may call into the windows.
    bool WindowsAlive() const;
    void ShowDisplays(int nCmdShow) const;
    // SetLabelText unless strText is empty or already shown (strShown, which it then updates).
    void ShowLabelText(HWND hLabel, const std::string& strText, std::string& strShown);

    // The last transfer created its file, m_strTargetPath (a file that was not created is never deleted).
    bool m_bTargetCreated = false;
    // What the worker last put on the displays during this job; -1: the bar's position is not known.
    int m_nShownPosition = -1;
    std::string m_strShownPercent, m_strShownSpeed, m_strShownSize;
};
