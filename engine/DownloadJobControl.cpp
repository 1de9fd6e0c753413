// Starting and stopping a download job: what the main dialog calls.
#include "DownloadJobControl.h"

#include "DetachedThread.h"

namespace {

constexpr int kQuitWaitSteps = 30;
constexpr DWORD kQuitWaitStepMs = 100;

}  // namespace

bool StartDownloadJob(const std::shared_ptr<CDownloadJob>& pJob, const std::string& strFolder, HWND hNotifyWnd,
                      const CDownloadDisplays& displays)
{
    bool bIdle = false;
    if (pJob == nullptr || !pJob->m_bWorkerActive.compare_exchange_strong(bIdle, true))
        return false;

    // The flag stays set only for a worker that was started: should the thread not start, or anything before it
    // throw (an allocation), the record is free again for the next Download.
    CDownloadJob& job = *pJob;
    bool bStarted = false;
    try {
        job.m_strFolder = strFolder;
        job.m_hNotifyWnd = hNotifyWnd;
        job.m_bStop = false;
        job.SetDisplays(displays);
        bStarted = StartDetachedThread(pJob, CDownloadJob::DownloadThreadProc);
    } catch (...) {
        job.m_bWorkerActive = false;
        throw;
    }
    if (!bStarted)
        job.m_bWorkerActive = false;
    return bStarted;
}

bool StopDownloadJob(CDownloadJob& job, HWND hDialog)
{
    // A worker started but not yet in its job sees the stop when it begins, and opens nothing.
    if (!job.m_bWorkerActive)
        return true;
    job.m_bStop = true;
    if (!job.m_bRunning)
        return true;
    ShowWindow(hDialog, SW_HIDE);
    for (int i = 0; i < kQuitWaitSteps && job.m_bRunning; ++i)
        Sleep(kQuitWaitStepMs);
    return !job.m_bRunning;
}
