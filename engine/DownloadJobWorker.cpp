// The download worker: the thread that runs a job, and the job body.
#include "DownloadJob.h"

#include "InstallerSignature.h"
#include "PathHelpers.h"
#include "TextConversion.h"

#include <commctrl.h>

#include <cstdio>

namespace {

// Kept whole in the image (the optimiser would otherwise build it from immediates), so that the release check
// can read which address a build downloads from.
[[gnu::used]] constexpr char kDownloadAddress[] = "https://" TARNVIK_DOWNLOAD_HOST "/TarnvikBrowser.exe";
constexpr int kProgressMax = 100;
constexpr char kOutcomeUntrusted[] = "安装文件签名无效";
constexpr char kOutcomeUnexpected[] = "意外错误";

}  // namespace

void CDownloadJob::DownloadThreadProc(CDownloadJob& job)
{
    if (job.WindowsAlive()) {
        SendMessageW(job.m_displays.hProgress, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressMax));
        SendMessageW(job.m_displays.hProgress, PBM_SETPOS, 0, 0);
        job.ShowDisplays(SW_SHOW);
    }
    bool bDone = false;
    try {
        bDone = job.Run();
    } catch (...) {
        // Whatever the job throws (out of memory included) ends it as a failure with its one final notice; it
        // must not unwind out of the thread and end the program.
        job.m_strOutcome = kOutcomeUnexpected;  // short enough to need no allocation
        job.m_bRunning = false;
    }
    if (job.WindowsAlive())
        PostMessageW(job.m_hNotifyWnd, WM_DOWNLOAD_STATUS, bDone ? DL_STATUS_DONE : DL_STATUS_FAILED, 0);
    // The hiding follows the final notice, so the next job may start only after it.
    if (job.WindowsAlive())
        job.ShowDisplays(SW_HIDE);
    job.m_bWorkerActive = false;
}

bool CDownloadJob::Run()
{
    m_bRunning = true;
    if (WindowsAlive())
        PostMessageW(m_hNotifyWnd, WM_DOWNLOAD_STATUS, DL_STATUS_STARTED, 0);
    m_strOutcome.clear();

    bool bResult = false;
    const std::string strFolder = EnsureTrailingSeparator(GetFolder());
    // A stop asked for before the job began (a Close right after the click) is honoured here: nothing is opened.
    if (!strFolder.empty() && !m_bStop) {
        m_strTargetPath = MakeUniqueFilePath(strFolder, kFileName);
        char szTime[32] = {};
        sprintf_s(szTime, sizeof szTime, "%lu", static_cast<unsigned long>(ClockSeconds()));
        bResult = Transfer(std::string(kDownloadAddress) + "?" + szTime, m_strTargetPath);
        if (bResult && !IsTrustedInstaller(m_strTargetPath, ECertificateUrls::Fetch)) {
            m_strOutcome = kOutcomeUntrusted;
            bResult = false;
        }
        // When a publisher is pinned nothing unchecked stays under an installer's name, where it invites a start:
        // a file cut short, stopped, timed out, not written whole or not trusted goes. Without a pin a partial file
        // stays, as it always has.
        if (!bResult && m_bTargetCreated && InstallerPublisherPinned())
            DeleteFileW(AnsiToWide(m_strTargetPath).c_str());
    }
    m_bRunning = false;
    return bResult;
}
