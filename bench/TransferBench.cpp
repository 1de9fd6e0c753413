// Download benchmark: the real transfer into the real main dialog against a bare WinINet read loop, with the
// dialog thread's round-trip delay and the process's private bytes sampled while the transfer runs; the cost of
// each window call of a refresh; the time to the first byte over a long link.
//   transfer_bench.exe BASE_URL SCRATCH_FOLDER PORT
// BASE_URL serves bench-64.bin (64 MiB) and bench-256.bin (256 MiB) from https://localhost:PORT; downloads go
// into SCRATCH_FOLDER (with a trailing backslash) and are deleted afterwards.
#include "InternetException.h"
#include "InternetSession.h"
#include "PathHelpers.h"
#include "LongLinkProxy.h"
#include "TarnvikHSDownloaderDlg.h"
#include "TextConversion.h"

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kReadChunkBytes = 8192;
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY;
constexpr DWORD kProbeIntervalMs = 10;
constexpr UINT kProbeTimeoutMs = 10000;
constexpr double kBytesPerMB = 1e6;
constexpr double kBytesPerMiB = 1024.0 * 1024.0;
constexpr double kPercentile = 0.99;
constexpr char kSmallFile[] = "bench-64.bin";
constexpr char kLargeFile[] = "bench-256.bin";
constexpr int kCostSamples = 200;
constexpr DWORD kLongLinkDelayMs = 350;

// <chrono> cannot be used here: libstdc++'s unit suffixes do not convert to GBK, the narrow literals' code page.
int64_t Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double SecondsSince(int64_t nStart)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(Ticks() - nStart) / static_cast<double>(frequency.QuadPart);
}

double MiB(double bytes)
{
    return bytes / kBytesPerMiB;
}

// Windows documents PrivateUsage and PagefileUsage as the same figure; Wine 8 fills only PagefileUsage.
SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return std::max(counters.PrivateUsage, counters.PagefileUsage);
}

struct CDownloadFigures {
    bool bComplete = false;
    int64_t nBytes = 0;
    double dSeconds = 0;
    int nRefreshes = 0;            // PBM_SETPOS calls the dialog's bar received
    int nLabelTexts = 0;           // WM_SETTEXT calls the dialog's three labels received
    std::vector<double> delaysMs;  // WM_NULL round trips to the dialog; a time-out counts as its full wait
    SIZE_T nBeforeBytes = 0;       // private bytes just before the download started
    SIZE_T nPeakBytes = 0;         // largest private bytes sampled during it
};

// Shared by the dialog's thread, the worker and the probe during one download.
struct CDialogRun {
    HWND hDialog;
    CDownloadFigures figures;
    std::atomic<bool> bTransferDone{false};
    std::atomic<bool> bProbeDone{false};
};

// Every 10 ms until the transfer ends: one timed WM_NULL round trip to the dialog's thread and one private-bytes
// sample. Its last post wakes the dialog's thread, which pumps until the probe is done so that no round trip is
// left waiting on a thread that stopped pumping.
void Probe(CDialogRun& run)
{
    while (!run.bTransferDone) {
        const int64_t nStart = Ticks();
        DWORD_PTR dwIgnored = 0;
        SendMessageTimeoutW(run.hDialog, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &dwIgnored);
        run.figures.delaysMs.push_back(SecondsSince(nStart) * 1000.0);
        run.figures.nPeakBytes = std::max(run.figures.nPeakBytes, PrivateBytes());
        Sleep(kProbeIntervalMs);
    }
    run.bProbeDone = true;
    PostMessageW(run.hDialog, WM_NULL, 0, 0);
}

// Counts the refresh calls that reach a control (the bar's positions, the labels' texts) in the int at pRefData.
LRESULT CALLBACK CountRefreshes(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR pRefData)
{
    if (nMsg == PBM_SETPOS || nMsg == WM_SETTEXT)
        ++*reinterpret_cast<int*>(pRefData);
    return DefSubclassProc(hWnd, nMsg, wParam, lParam);
}

// The comparison: every 8192-byte read of the body into one buffer, nothing written, nothing shown.
CDownloadFigures BareReadLoop(const std::string& strUrl)
{
    CDownloadFigures figures;
    const int64_t nStart = Ticks();
    HINTERNET hSession = InternetOpenW(L"tarnvik-bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET hUrl =
        hSession ? InternetOpenUrlW(hSession, AnsiToWide(strUrl).c_str(), nullptr, 0, kOpenFlags, 0) : nullptr;
    if (hUrl != nullptr) {
        DWORD dwDeclared = 0;
        DWORD dwSize = sizeof dwDeclared;
        HttpQueryInfoW(hUrl, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &dwDeclared, &dwSize, nullptr);
        char buffer[kReadChunkBytes];
        DWORD dwRead = 0;
        while (InternetReadFile(hUrl, buffer, kReadChunkBytes, &dwRead) && dwRead > 0)
            figures.nBytes += dwRead;
        figures.bComplete = dwDeclared > 0 && figures.nBytes == dwDeclared;
        InternetCloseHandle(hUrl);
    }
    if (hSession != nullptr)
        InternetCloseHandle(hSession);
    figures.dSeconds = SecondsSince(nStart);
    return figures;
}

// The internet layer alone: every 8192-byte Read of the body through CInternetSession, nothing written.
CDownloadFigures LayerReadLoop(const std::string& strUrl)
{
    CDownloadFigures figures;
    const int64_t nStart = Ticks();
    try {
        CInternetSession session(L"tarnvik-bench");
        std::unique_ptr<CHttpFile> pFile = session.OpenURL(AnsiToWide(strUrl).c_str(), 1, kOpenFlags);
        DWORD dwDeclared = 0;
        pFile->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, dwDeclared);
        char buffer[kReadChunkBytes];
        while (const UINT nRead = pFile->Read(buffer, kReadChunkBytes))
            figures.nBytes += nRead;
        figures.bComplete = dwDeclared > 0 && figures.nBytes == dwDeclared;
        pFile->Close();
    } catch (const CInternetException&) {
    }
    figures.dSeconds = SecondsSince(nStart);
    return figures;
}

// The dialog's four displays, as a job gets them.
CDownloadDisplays DisplaysOf(CTarnvikHSDownloaderDlg& dlg)
{
    return {dlg.m_progress, dlg.m_lblPercent, dlg.m_lblSize, dlg.m_lblSpeed};
}

// The program's own path: a job's transfer on a worker thread, the dialog's thread pumping messages. With
// bShowProgress the worker refreshes the dialog's bar and labels as in the program; without, it has no window to
// refresh (the transfer and the file alone). The downloaded file is deleted afterwards.
CDownloadFigures DialogTransfer(CTarnvikHSDownloaderDlg& dlg, const std::string& strUrl, const std::string& strFolder,
                                bool bShowProgress)
{
    CWorkerWindows windows;
    windows.Set(bShowProgress ? dlg.m_hWnd : nullptr, DisplaysOf(dlg));
    CTransferCounters counters;
    const std::atomic<bool> bStop{false};
    std::string strCreated;
    CTransfer transfer(bStop, counters, strCreated, [&] { windows.Refresh(counters); });
    dlg.m_progress.SetPos(0);
    dlg.ShowDownloadingView();

    CDialogRun run;
    run.hDialog = dlg.m_hWnd;
    SetWindowSubclass(dlg.m_progress, CountRefreshes, 0, reinterpret_cast<DWORD_PTR>(&run.figures.nRefreshes));
    for (HWND hLabel : {dlg.m_lblPercent.m_hWnd, dlg.m_lblSize.m_hWnd, dlg.m_lblSpeed.m_hWnd})
        SetWindowSubclass(hLabel, CountRefreshes, 0, reinterpret_cast<DWORD_PTR>(&run.figures.nLabelTexts));
    run.figures.nBeforeBytes = PrivateBytes();
    std::thread probe(Probe, std::ref(run));
    std::thread worker([&] {
        const int64_t nStart = Ticks();
        run.figures.bComplete = transfer.Run(strUrl, strFolder, CDownloadJob::kFileName);
        run.figures.dSeconds = SecondsSince(nStart);
        run.figures.nBytes = counters.m_nDownloaded;
        PostMessageW(run.hDialog, WM_DOWNLOAD_STATUS, run.figures.bComplete ? DL_STATUS_DONE : DL_STATUS_FAILED, 0);
        run.bTransferDone = true;
    });
    MSG msg;
    while (!run.bProbeDone && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(dlg.m_hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    worker.join();
    probe.join();
    for (HWND hControl : {dlg.m_progress.m_hWnd, dlg.m_lblPercent.m_hWnd, dlg.m_lblSize.m_hWnd, dlg.m_lblSpeed.m_hWnd})
        RemoveWindowSubclass(hControl, CountRefreshes, 0);
    DeleteFileA(transfer.FilePath().c_str());
    return run.figures;
}

double Throughput(const CDownloadFigures& figures)
{
    return figures.dSeconds > 0 ? static_cast<double>(figures.nBytes) / figures.dSeconds / kBytesPerMB : 0;
}

double Percentile(std::vector<double> values, double dShare)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(std::ceil(dShare * static_cast<double>(values.size()))) - 1];
}

void PrintHeader()
{
    std::printf("%-28s %-6s %7s %6s %6s %9s %7s %7s %7s %7s %7s %7s\n", "download", "result", "MiB", "s", "MB/s",
                "refreshes", "texts", "probes", "p99 ms", "max ms", "pvt MiB", "peak");
}

void PrintDownload(const char* pszName, const CDownloadFigures& figures)
{
    std::printf("%-28s %-6s %7.1f %6.2f %6.1f", pszName, figures.bComplete ? "ok" : "FAILED",
                MiB(static_cast<double>(figures.nBytes)), figures.dSeconds, Throughput(figures));
    if (!figures.delaysMs.empty()) {
        std::printf(" %9d %7d %7zu %7.1f %7.1f %7.1f %7.1f", figures.nRefreshes, figures.nLabelTexts,
                    figures.delaysMs.size(),
                    Percentile(figures.delaysMs, kPercentile), Percentile(figures.delaysMs, 1.0),
                    MiB(static_cast<double>(figures.nBeforeBytes)), MiB(static_cast<double>(figures.nPeakBytes)));
    }
    std::printf("\n");
}

// Runs work on a thread of its own while this thread (the dialog's) pumps messages, as the program's worker does.
void RunBesideTheDialog(HWND hDialog, const std::function<void()>& work)
{
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        work();
        bDone = true;
        PostMessageW(hDialog, WM_NULL, 0, 0);
    });
    MSG msg;
    while (!bDone && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hDialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    worker.join();
}

// One window call of a refresh, made kCostSamples times from the worker's side; prepare runs untimed before
// each call (it may be empty).
struct CCallCost {
    const char* pszName;
    std::function<void(int)> call;
    std::function<void()> prepare;
};

double MedianMicroseconds(const CCallCost& cost)
{
    std::vector<double> samples;
    for (int i = 0; i < kCostSamples; ++i) {
        if (cost.prepare)
            cost.prepare();
        const int64_t nStart = Ticks();
        cost.call(i);
        samples.push_back(SecondsSince(nStart) * 1e6);
    }
    return Percentile(samples, 0.5);
}

// What one refresh costs the worker, call by call, against the dialog in its downloading view: each call as
// the refresh makes it, whole refreshes with everything new and with nothing new, and the repaint of the dialog
// under a label (what hiding and showing it causes) on the dialog's thread.
void PrintRefreshCosts(CTarnvikHSDownloaderDlg& dlg)
{
    CWorkerWindows windows;
    windows.Set(dlg.m_hWnd, DisplaysOf(dlg));
    CTransferCounters counters;
    counters.m_nTotalSize = 1000;
    dlg.ShowDownloadingView();
    const HWND hBar = dlg.m_progress, hLabel = dlg.m_lblPercent;
    RECT rcLabel = {};
    GetWindowRect(hLabel, &rcLabel);
    MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&rcLabel), 2);

    const CCallCost costs[] = {
        {"bar message", [&](int i) { SendMessageW(hBar, PBM_SETPOS, static_cast<WPARAM>(40 + i % 2), 0); }, {}},
        {"text set", [&](int i) { SetWindowTextW(hLabel, i % 2 ? L"已下载 40.1 %" : L"已下载 40.2 %"); }, {}},
        {"hide", [&](int) { ShowWindow(hLabel, SW_HIDE); }, [&] { ShowWindow(hLabel, SW_SHOW); }},
        {"show", [&](int) { ShowWindow(hLabel, SW_SHOW); }, [&] { ShowWindow(hLabel, SW_HIDE); }},
        {"refresh, all new",
         [&](int i) {
             counters.m_nDownloaded = i % 2 ? 400 : 700;
             counters.m_nSpeed = i % 2 ? 5000 : 6000;
             windows.Refresh(counters);
         },
         {}},
        {"refresh, nothing new", [&](int) { windows.Refresh(counters); }, {}},
    };
    RunBesideTheDialog(dlg.m_hWnd, [&] {
        for (const CCallCost& cost : costs)
            std::printf("figure: refresh call %s = %.0f us\n", cost.pszName, MedianMicroseconds(cost));
    });
    // Timed on the dialog's own thread: the painting alone, without waiting for that thread's turn.
    const CCallCost repaint = {"repaint", [&](int) {
        RedrawWindow(dlg.m_hWnd, &rcLabel, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }, {}};
    std::printf("figure: refresh call %s = %.0f us\n", repaint.pszName, MedianMicroseconds(repaint));
}

// Opening the address and reading its first bytes through the internet layer, over a link that delays every
// byte kLongLinkDelayMs each way; the result is printed in seconds (or as failed).
void PrintLongLinkFirstByte(int nPort, const char* pszFile)
{
    CLongLinkProxy link(nPort, kLongLinkDelayMs);
    const std::wstring strUrl = L"https://localhost:" + std::to_wstring(link.Port()) + L"/" + AnsiToWide(pszFile);
    const int64_t nStart = Ticks();
    try {
        CInternetSession session(L"tarnvik-bench");
        for (DWORD dwOption : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            DWORD dwTimeout = 2000;
            session.SetOption(dwOption, &dwTimeout, sizeof dwTimeout);
        }
        std::unique_ptr<CHttpFile> pFile = session.OpenURL(strUrl.c_str(), 1, kOpenFlags);
        char buffer[kReadChunkBytes];
        const UINT nRead = pFile->Read(buffer, kReadChunkBytes);
        std::printf("figure: first byte over a %lu ms each-way link = %.2f s%s\n", kLongLinkDelayMs,
                    SecondsSince(nStart), nRead > 0 ? "" : " (no byte)");
        pFile->Close();
    } catch (const CInternetException& e) {
        std::printf("figure: first byte over a %lu ms each-way link FAILED with %lu after %.2f s\n", kLongLinkDelayMs,
                    e.GetErrorCode(), SecondsSince(nStart));
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: transfer_bench BASE_URL SCRATCH_FOLDER\\ PORT\n");
        return 2;
    }
    const std::string strBase = WideToAnsi(argv[1]);
    const std::string strScratch = EnsureTrailingSeparator(WideToAnsi(argv[2]));
    const int nPort = _wtoi(argv[3]);

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CTarnvikHSDownloaderDlg dlg;
    if (!dlg.Create(nullptr)) {
        std::fprintf(stderr, "the main dialog could not be created\n");
        return 1;
    }

    const CDownloadFigures bare = BareReadLoop(strBase + kLargeFile);
    const CDownloadFigures layer = LayerReadLoop(strBase + kLargeFile);
    const CDownloadFigures hidden = DialogTransfer(dlg, strBase + kLargeFile, strScratch, false);
    const CDownloadFigures small = DialogTransfer(dlg, strBase + kSmallFile, strScratch, true);
    const CDownloadFigures large = DialogTransfer(dlg, strBase + kLargeFile, strScratch, true);
    PrintRefreshCosts(dlg);
    DestroyWindow(dlg.m_hWnd);
    PrintLongLinkFirstByte(nPort, kSmallFile);

    PrintHeader();
    PrintDownload("bare read loop, 256 MiB", bare);
    PrintDownload("layer read loop, 256 MiB", layer);
    PrintDownload("transfer, no displays, 256", hidden);
    PrintDownload("transfer + dialog, 64 MiB", small);
    PrintDownload("transfer + dialog, 256 MiB", large);
    const double dBare = Throughput(bare);
    std::printf("ratio to the bare loop: transfer + dialog %.2f, transfer without displays %.2f\n",
                dBare > 0 ? Throughput(large) / dBare : 0, dBare > 0 ? Throughput(hidden) / dBare : 0);
    std::fflush(stdout);
    return bare.bComplete && layer.bComplete && hidden.bComplete && small.bComplete && large.bComplete ? 0 : 1;
}
