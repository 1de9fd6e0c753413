// Starting and stopping a download job: what the main dialog calls.
//
// How the dialog uses the engine:
//   - keep the record as std::shared_ptr<CDownloadJob> (make_shared once, reuse it for every job);
//   - on Download / Redownload, after the folder is validated and created: StartDownloadJob;
//   - handle WM_DOWNLOAD_STATUS: DL_STATUS_STARTED, then exactly one of DL_STATUS_DONE / DL_STATUS_FAILED
//     (m_bRunning is already false when the final one arrives); after DONE, GetTargetPath() names the file;
//   - on the quit paths that stop a download: StopDownloadJob, then end the dialog.
#pragma once

#include "DownloadJob.h"

#include <windows.h>

#include <memory>
#include <string>

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
