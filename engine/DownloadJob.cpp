// The download job: starting and stopping a job, and its worker: the thread, the job body and its transfer.
#include "DownloadJob.h"

#include "DetachedThread.h"
#include "InstallerSignature.h"
#include "Outcome.h"
#include "PathHelpers.h"
#include "TextConversion.h"

#include <cstdio>

namespace {

// Kept whole in the image (the optimiser would otherwise build it from immediates), so that the release check
// can read which address a build downloads from.
[[gnu::used]] constexpr char kDownloadAddress[] = "https://" TARNVIK_DOWNLOAD_HOST "/TarnvikBrowser.exe";
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
        job.m_bStop = false;
        job.m_windows.Set(hNotifyWnd, displays);
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
    if (!job.IsWorkerActive())
        return true;
    job.m_bStop = true;
    if (!job.m_bRunning)
        return true;
    ShowWindow(hDialog, SW_HIDE);
    for (int i = 0; i < kQuitWaitSteps && job.m_bRunning; ++i)
        Sleep(kQuitWaitStepMs);
    return !job.m_bRunning;
}

void CDownloadJob::DownloadThreadProc(CDownloadJob& job)
{
    job.m_windows.ShowAtStart();
    bool bDone = false;
    try {
        bDone = job.Run();
    } catch (...) {
        // Whatever the job throws (out of memory included) ends it as a failure with its one final notice; it
        // must not unwind out of the thread and end the program.
        job.m_strOutcome = outcome::kUnexpected;  // short enough to need no allocation
        job.m_bRunning = false;
    }
    job.m_windows.Notify(bDone ? DL_STATUS_DONE : DL_STATUS_FAILED);
    // The hiding follows the final notice, so the next job may start only after it.
    job.m_windows.Hide();
    job.m_bWorkerActive = false;
}

bool CDownloadJob::Run()
{
    m_bRunning = true;
    m_windows.Notify(DL_STATUS_STARTED);
    m_strOutcome.clear();

    bool bResult = false;
    const std::string strFolder = EnsureTrailingSeparator(GetFolder());
    // A stop asked for before the job began (a Close right after the click) is honoured here: nothing is opened.
    if (!strFolder.empty() && !m_bStop) {
        char szTime[32] = {};
        sprintf_s(szTime, sizeof szTime, "%lu", static_cast<unsigned long>(ClockSeconds()));
        bResult = Transfer(std::string(kDownloadAddress) + "?" + szTime, strFolder);
        if (bResult && !IsTrustedInstaller(m_strTargetPath, ECertificateUrls::Fetch)) {
            m_strOutcome = outcome::kUntrusted;
            bResult = false;
        }
        // When a publisher is pinned nothing unchecked stays under an installer's name, where it invites a start:
        // a file cut short, stopped, timed out, not written whole or not trusted goes. Without a pin a partial file
        // stays, as it always has.
        if (!bResult && !m_strTargetPath.empty() && InstallerPublisherPinned())
            DeleteFileW(AnsiToWide(m_strTargetPath).c_str());
    }
    m_bRunning = false;
    return bResult;
}

bool CDownloadJob::Transfer(const std::string& strAddress, const std::string& strFolder)
{
    CTransfer transfer(m_bStop, m_counters, m_strTargetPath, [this] { UpdateProgress(); });
    const bool bResult = transfer.Run(strAddress, strFolder, kFileName);
    m_strOutcome = transfer.Outcome();
    return bResult;
}

void CDownloadJob::UpdateProgress()
{
    m_windows.Refresh(m_counters);
}
