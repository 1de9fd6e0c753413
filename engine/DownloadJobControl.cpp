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

    CDownloadJob& job = *pJob;
    job.m_strFolder = strFolder;
    job.m_hNotifyWnd = hNotifyWnd;
    job.m_bStop = false;
    job.m_hProgress = displays.hProgress;
    job.SetLabels(displays.hPercentLabel, displays.hSizeLabel, displays.hSpeedLabel);

    if (!StartDetachedThread(pJob, CDownloadJob::DownloadThreadProc)) {
        job.m_bWorkerActive = false;
        return false;
    }
    return true;
}

bool StopDownloadJob(CDownloadJob& job, HWND hDialog)
{
    if (!job.m_bRunning)
        return true;
    job.m_bStop = true;
    ShowWindow(hDialog, SW_HIDE);
    for (int i = 0; i < kQuitWaitSteps && job.m_bRunning; ++i)
        Sleep(kQuitWaitStepMs);
    return !job.m_bRunning;
}
