// The download job: the record the main dialog and its worker share, starting and stopping a job, and the worker.
//
// How the dialog uses the engine:
//   - keep the record as std::shared_ptr<CDownloadJob> (make_shared once, reuse it for every job);
//   - on Download / Redownload, after the folder is validated and created: StartDownloadJob;
//   - handle WM_DOWNLOAD_STATUS: DL_STATUS_STARTED, then exactly one of DL_STATUS_DONE / DL_STATUS_FAILED
//     (m_bRunning is already false when the final one arrives); after DONE, GetTargetPath() names the file;
//   - on the quit paths that stop a download: StopDownloadJob, then end the dialog.
// One download, from the top: StartDownloadJob starts the worker (DownloadThreadProc), whose Run builds the address,
// has the transfer (Transfer.h) write the file, checks the publisher's signature (InstallerSignature.h), and reports
// through the worker's windows (WorkerWindows.h): the notices and the four displays.
#pragma once

#include "Transfer.h"
#include "WorkerWindows.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

class CDownloadJob {
public:
    // The file every job writes, or a numbered variant of it (TarnvikBrowser1.exe ...).
    static constexpr const char* kFileName = "TarnvikBrowser.exe";

    CDownloadJob() = default;
    CDownloadJob(const CDownloadJob&) = delete;
    CDownloadJob& operator=(const CDownloadJob&) = delete;

    // The stop request: set when the dialog quits during a job.
    std::atomic<bool> m_bStop{false};
    // A job ends in two steps: Run returns, then the worker posts its final notice and hides the displays with
    // window calls that the dialog's thread carries out. Hence two flags. m_bRunning: true while Run runs (cleared
    // by the worker when Run throws). StopDownloadJob waits on it: it sleeps without pumping messages, so a window
    // call of the worker would wait for it in turn, for the full 3 s.
    std::atomic<bool> m_bRunning{false};

    // The file the current or last job writes (narrow, ANSI code page); empty when it created none.
    std::string GetTargetPath() const { return m_strTargetPath; }
    // The chosen download folder (narrow).
    std::string GetFolder() const { return m_strFolder; }
    // How the last job ended, in words (an outcome:: text): shown nowhere, kept for diagnosis.
    const std::string& GetOutcome() const { return m_strOutcome; }
    // From a start until the worker's last window call: no new job may start meanwhile.
    bool IsWorkerActive() const { return m_bWorkerActive; }

private:
    friend bool StartDownloadJob(const std::shared_ptr<CDownloadJob>&, const std::string&, HWND,
                                 const CDownloadDisplays&);

    // The worker's body; the thread that runs it holds its own reference to the record (StartDownloadJob).
    static void DownloadThreadProc(CDownloadJob& job);
    // The job body on the worker thread: true when the file was downloaded completely and, when the build pins a
    // publisher, carries its valid signature; in such a build every other download deletes its file.
    bool Run();
    // Fetches the address into a new file of the folder; true when the whole declared length was written and no
    // stop was requested. The file it created, if any, becomes the target path.
    bool Transfer(const std::string& strAddress, const std::string& strFolder);
    // Puts the counters into the bar and the three labels (worker thread).
    void UpdateProgress();

    CWorkerWindows m_windows;     // the dialog and its four displays, set at every start
    CTransferCounters m_counters;
    std::string m_strTargetPath;
    std::string m_strFolder;
    std::string m_strOutcome;
    // Set by StartDownloadJob before the thread exists, cleared after the worker's last window call. StartDownloadJob
    // refuses a new job while it is set, so that no old worker hides a new job's displays.
    std::atomic<bool> m_bWorkerActive{false};
};

// Starts a job on pJob in a new detached worker thread, after the dialog has validated and created strFolder.
// Call it on the dialog's (user interface) thread. The worker shows the displays, posts DL_STATUS_STARTED,
// downloads into strFolder, posts DL_STATUS_DONE or DL_STATUS_FAILED, then hides the displays. Its window
// calls are synchronous calls into the dialog's thread, so that thread must keep pumping messages.
//
// One job at a time: returns false, and changes nothing, while the worker of an earlier job has not made its
// last window call (it hides the displays just after its final notice). Returns false as well when the thread
// cannot be created; the record is then free for the next start and no notice will come.
// The bar and the labels are taken from displays at every start, so that the record always works on the
// controls of the window it notifies; the labels are emptied.
bool StartDownloadJob(const std::shared_ptr<CDownloadJob>& pJob, const std::string& strFolder, HWND hNotifyWnd,
                      const CDownloadDisplays& displays);

// For the dialog's quit path: if a worker is active, asks it to stop (one that has not begun its job yet then
// opens nothing); if it is inside its job, hides hDialog (if any) and waits up to 3 s (100 ms steps) for it to
// leave it. Messages are not pumped meanwhile. Returns true when no job is running any more; the dialog may end
// either way: the worker keeps its own reference to the record and makes no window calls once hNotifyWnd is
// destroyed.
bool StopDownloadJob(CDownloadJob& job, HWND hDialog);
