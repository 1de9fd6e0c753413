// The worker thread and the job body end to end: notices, the fixed address, one job at a time, stopping,
// and a worker that outlives its window and its owner.
#include "AllocationProbe.h"
#include "EngineTestSupport.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TextConversion.h"
#include "WindowTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>
#include <set>
#include <vector>

namespace {

constexpr DWORD kJobTimeoutMs = 10000;

// The only kind of file a download of the test build keeps: the test installer signed by the pinned publisher.
std::string SignedInstaller()
{
    return ReadWholeFile(testenv::InstallerFile()).value_or("");
}

bool IsFinal(WPARAM wParam)
{
    return wParam == DL_STATUS_DONE || wParam == DL_STATUS_FAILED;
}

// The dialog's side of a job: displays pumped by this thread, the record, and the backend that the proxy
// in front of the fixed https address forwards to.
struct CJobFixture {
    CScriptedServer server{testenv::BackendPort()};
    CTestDisplays displays{WM_DOWNLOAD_STATUS};
    std::shared_ptr<CDownloadJob> pJob = std::make_shared<CDownloadJob>();
    std::string strFolder = testenv::MakeScratchFolder("job");
    std::vector<bool> runningAtFinalNotice;
    bool bShownAtStart = false;

    CJobFixture()
    {
        displays.m_onNotice = [this](WPARAM wParam) {
            if (IsFinal(wParam))
                runningAtFinalNotice.push_back(pJob->m_bRunning);
            if (wParam == DL_STATUS_STARTED)
                bShownAtStart = CTestDisplays::Visible(displays.Progress()) &&
                                CTestDisplays::Visible(displays.PercentLabel()) &&
                                CTestDisplays::Visible(displays.SizeLabel()) &&
                                CTestDisplays::Visible(displays.SpeedLabel());
        };
    }

    bool Start(const std::string& strJobFolder)
    {
        return StartDownloadJob(pJob, strJobFolder, displays.Window(), DisplaysOf(displays));
    }

    // Pumps until the worker has made its last window call.
    bool WaitForWorker()
    {
        return wintest::PumpUntil([this] { return !pJob->IsWorkerActive(); }, kJobTimeoutMs) &&
               wintest::PumpUntil([this] { return !displays.m_notices.empty() && IsFinal(displays.m_notices.back()); },
                                 kJobTimeoutMs);
    }

    bool AnyDisplayVisible() const
    {
        return CTestDisplays::Visible(displays.Progress()) || CTestDisplays::Visible(displays.PercentLabel()) ||
               CTestDisplays::Visible(displays.SizeLabel()) || CTestDisplays::Visible(displays.SpeedLabel());
    }
};

}  // namespace

TEST(DownloadJob, DownloadsTheFixedAddressAndReportsDone)
{
    CJobFixture fixture;
    const std::string body = SignedInstaller();
    fixture.server.On(testenv::kInstallerPath, CServerScript::Complete(body));

    const uint32_t nBefore = static_cast<uint32_t>(_time64(nullptr));
    ASSERT_TRUE(fixture.Start(fixture.strFolder));
    ASSERT_TRUE(fixture.WaitForWorker());
    const uint32_t nAfter = static_cast<uint32_t>(_time64(nullptr));

    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_DONE}));
    EXPECT_EQ(fixture.runningAtFinalNotice, std::vector<bool>{false});
    EXPECT_TRUE(fixture.bShownAtStart);
    EXPECT_FALSE(fixture.AnyDisplayVisible());
    EXPECT_EQ(fixture.pJob->GetTargetPath(), fixture.strFolder + "TarnvikBrowser.exe");
    EXPECT_TRUE(ReadWholeFile(fixture.pJob->GetTargetPath()) == body);
    EXPECT_EQ(fixture.pJob->GetOutcome(), outcome::kComplete);
    EXPECT_EQ(fixture.displays.Position(), 100);
    EXPECT_EQ(SendMessageW(fixture.displays.Progress(), PBM_GETRANGE, FALSE, 0), 100);

    const std::vector<CRecordedRequest> requests = fixture.server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].strPath, testenv::kInstallerPath);
    EXPECT_EQ(requests[0].Header("User-Agent"), "tarnvikbrowserhsdownload");
    EXPECT_EQ(requests[0].Header("Host"), "localhost:" + std::to_string(testenv::TlsPort()));
    ASSERT_FALSE(requests[0].strQuery.empty());
    EXPECT_EQ(requests[0].strQuery.find_first_not_of("0123456789"), std::string::npos) << requests[0].strQuery;
    const unsigned long nQuery = std::strtoul(requests[0].strQuery.c_str(), nullptr, 10);
    EXPECT_GE(nQuery, nBefore);
    EXPECT_LE(nQuery, nAfter);
}

// The test build pins a publisher: a download that fails leaves no file under an installer's name.
TEST(DownloadJob, FailureIsTheOneFinalNoticeAndLeavesNoFile)
{
    const std::string body = SignedInstaller();
    const std::pair<const char*, CServerScript> rows[] = {
        {"not found", CServerScript().Send(CServerScript::Head(404, 0))},
        {"a body shorter than its length", CServerScript().Send(CServerScript::Head(200, body.size() + 1) + body)},
    };
    for (const auto& [pszName, script] : rows) {
        SCOPED_TRACE(pszName);
        CJobFixture fixture;
        fixture.server.On(testenv::kInstallerPath, script);
        ASSERT_TRUE(fixture.Start(fixture.strFolder));
        ASSERT_TRUE(fixture.WaitForWorker());
        wintest::PumpFor(100);  // a second final notice would have arrived by now

        EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_FAILED}));
        EXPECT_EQ(fixture.runningAtFinalNotice, std::vector<bool>{false});
        EXPECT_FALSE(ReadWholeFile(fixture.pJob->GetTargetPath()));
        EXPECT_FALSE(fixture.AnyDisplayVisible());
    }
}

TEST(DownloadJob, EmptyFolderStartsThenFailsWithoutRequest)
{
    CJobFixture fixture;
    ASSERT_TRUE(fixture.Start(""));
    ASSERT_TRUE(fixture.WaitForWorker());
    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_FAILED}));
    EXPECT_EQ(fixture.runningAtFinalNotice, std::vector<bool>{false});
    EXPECT_EQ(fixture.server.RequestCount(), 0u);
    EXPECT_EQ(fixture.pJob->GetOutcome(), "");
}

TEST(DownloadJob, OneJobAtATimeAndTheNextReusesTheRecord)
{
    CJobFixture fixture;
    const std::string body = SignedInstaller();
    fixture.server.On(testenv::kInstallerPath, CServerScript::Complete(body));

    ASSERT_TRUE(fixture.Start(fixture.strFolder));
    // The worker's first window call waits for this thread, so it cannot have ended yet.
    EXPECT_FALSE(fixture.Start(fixture.strFolder));
    ASSERT_TRUE(fixture.WaitForWorker());
    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_DONE}));
    EXPECT_NE(CTestDisplays::Text(fixture.displays.SizeLabel()), L"");

    fixture.displays.m_notices.clear();
    ASSERT_TRUE(fixture.Start(fixture.strFolder));
    EXPECT_EQ(CTestDisplays::Text(fixture.displays.PercentLabel()), L"");
    EXPECT_EQ(CTestDisplays::Text(fixture.displays.SizeLabel()), L"");
    EXPECT_EQ(CTestDisplays::Text(fixture.displays.SpeedLabel()), L"");
    ASSERT_TRUE(fixture.WaitForWorker());
    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_DONE}));
    EXPECT_EQ(fixture.pJob->GetTargetPath(), fixture.strFolder + "TarnvikBrowser1.exe");
    EXPECT_TRUE(ReadWholeFile(fixture.strFolder + "TarnvikBrowser.exe") == body);
    EXPECT_TRUE(ReadWholeFile(fixture.strFolder + "TarnvikBrowser1.exe") == body);
    EXPECT_EQ(CTestDisplays::Text(fixture.displays.SizeLabel()),
              AnsiToWide(CWorkerWindows::FormatSizeText(static_cast<int64_t>(body.size()))));
}

TEST(DownloadJob, StopEndsARunningJobWithinTheQuitWait)
{
    CJobFixture fixture;
    const std::string body = MakeBody(20000, 3);
    fixture.server.On(testenv::kInstallerPath, CServerScript()
                                 .Send(CServerScript::Head(200, body.size()) + body.substr(0, 1000))
                                 .Pause(1200)
                                 .Send(body.substr(1000)));
    ASSERT_TRUE(fixture.Start(fixture.strFolder));
    // The worker is back in its read loop once its first refresh has shown the size label again (the last window
    // call of a refresh). A worker caught inside a refresh would wait for this thread through the whole quit wait.
    const std::pair<HWND, bool> sizeShown(fixture.displays.SizeLabel(), true);
    ASSERT_TRUE(wintest::PumpUntil(
        [&] {
            return !fixture.displays.m_sizeTexts.empty() && fixture.displays.m_visibilityChanges.back() == sizeShown;
        },
        kJobTimeoutMs));

    const ULONGLONG nStart = GetTickCount64();
    EXPECT_TRUE(StopDownloadJob(*fixture.pJob, fixture.displays.Window()));
    EXPECT_LT(GetTickCount64() - nStart, 3000u);
    EXPECT_FALSE(IsWindowVisible(fixture.displays.Window()));
    EXPECT_FALSE(fixture.pJob->m_bRunning);

    ASSERT_TRUE(fixture.WaitForWorker());
    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_FAILED}));
    EXPECT_EQ(fixture.pJob->GetOutcome(), outcome::kStopped);
    EXPECT_FALSE(ReadWholeFile(fixture.pJob->GetTargetPath())) << "the pinned build leaves no unchecked file";
}

TEST(DownloadJob, StopBeforeTheWorkerBeginsOpensNothing)
{
    CJobFixture fixture;
    fixture.server.On(testenv::kInstallerPath, CServerScript::Complete(SignedInstaller()));
    // The worker's first window call waits for this thread: it cannot be inside its job yet.
    ASSERT_TRUE(fixture.Start(fixture.strFolder));
    EXPECT_TRUE(StopDownloadJob(*fixture.pJob, fixture.displays.Window()));
    EXPECT_TRUE(fixture.pJob->m_bStop);

    ASSERT_TRUE(fixture.WaitForWorker());
    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_FAILED}));
    EXPECT_EQ(fixture.server.RequestCount(), 0u);
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA((fixture.strFolder + "*.exe").c_str(), &found), INVALID_HANDLE_VALUE);
}

TEST(DownloadJob, StopWithoutARunningJobDoesNotWait)
{
    CTestDisplays displays(WM_DOWNLOAD_STATUS);
    CDownloadJob job;
    const ULONGLONG nStart = GetTickCount64();
    EXPECT_TRUE(StopDownloadJob(job, displays.Window()));
    EXPECT_LT(GetTickCount64() - nStart, 50u);
    EXPECT_FALSE(job.m_bStop);
    EXPECT_TRUE(IsWindowVisible(displays.Window()));
}

TEST(DownloadJob, WorkerOutlivesItsWindowAndItsOwner)
{
    // The owner (the dialog, in the program) lives in a page of its own that becomes inaccessible once it is
    // destroyed: any later touch by the worker crashes this test.
    struct COwner {
        std::shared_ptr<CDownloadJob> pJob = std::make_shared<CDownloadJob>();
    };
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    void* pPage = VirtualAlloc(nullptr, system.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(pPage, nullptr);
    COwner* pOwner = new (pPage) COwner;

    CScriptedServer server(testenv::BackendPort());
    const std::string body = SignedInstaller();
    server.On(testenv::kInstallerPath, CServerScript::HeldAfter(body, 1000));
    CTestDisplays displays(WM_DOWNLOAD_STATUS);
    const std::string strFolder = testenv::MakeScratchFolder("owner");
    ASSERT_TRUE(StartDownloadJob(pOwner->pJob, strFolder, displays.Window(), DisplaysOf(displays)));
    ASSERT_TRUE(wintest::PumpUntil([&] { return displays.m_positions.size() >= 2; }, kJobTimeoutMs));

    const std::weak_ptr<CDownloadJob> pWatch = pOwner->pJob;
    const std::string strTarget = pOwner->pJob->GetTargetPath();
    displays.Destroy();
    pOwner->~COwner();
    DWORD dwOld = 0;
    ASSERT_TRUE(VirtualProtect(pPage, system.dwPageSize, PAGE_NOACCESS, &dwOld));
    EXPECT_FALSE(pWatch.expired()) << "the worker keeps its own reference to the record";

    server.Release();
    EXPECT_TRUE(wintest::PumpUntil([&] { return pWatch.expired(); }, kJobTimeoutMs)) << "the worker ended";
    EXPECT_TRUE(ReadWholeFile(strTarget) == body);
    VirtualFree(pPage, 0, MEM_RELEASE);
}

TEST(DownloadJob, TwoJobsStartedTogetherIntoOneFolderEachKeepTheirOwnFile)
{
    // Both jobs choose TarnvikBrowser.exe before they ask; the server answers only once both have asked, so both
    // create their file after the other chose the same name.
    CJobFixture fixture;
    const std::string body = SignedInstaller();
    fixture.server.On(testenv::kInstallerPath, CServerScript().Hold().Send(CServerScript::Head(200, body.size()) + body));
    CTestDisplays otherDisplays(WM_DOWNLOAD_STATUS);
    const auto pOtherJob = std::make_shared<CDownloadJob>();

    ASSERT_TRUE(fixture.Start(fixture.strFolder));
    ASSERT_TRUE(StartDownloadJob(pOtherJob, fixture.strFolder, otherDisplays.Window(), DisplaysOf(otherDisplays)));
    ASSERT_TRUE(wintest::PumpUntil([&] { return fixture.server.RequestCount() == 2; }, kJobTimeoutMs));
    fixture.server.Release();
    ASSERT_TRUE(fixture.WaitForWorker());
    ASSERT_TRUE(wintest::PumpUntil([&] { return !pOtherJob->IsWorkerActive(); }, kJobTimeoutMs));
    wintest::PumpFor(100);

    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_DONE}));
    EXPECT_EQ(otherDisplays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_DONE}));
    const std::set<std::string> paths = {fixture.pJob->GetTargetPath(), pOtherJob->GetTargetPath()};
    EXPECT_EQ(paths, (std::set<std::string>{fixture.strFolder + "TarnvikBrowser.exe",
                                            fixture.strFolder + "TarnvikBrowser1.exe"}));
    for (const std::string& path : paths)
        EXPECT_TRUE(ReadWholeFile(path) == body) << path;
}

TEST(DownloadJob, JobThatThrowsEndsWithOneFailureNoticeAndTheProcessLives)
{
    CJobFixture fixture;
    allocprobe::FailOnOtherThreads();  // the job body's first allocation, on the worker, fails
    const bool bStarted = fixture.Start(fixture.strFolder);
    const bool bEnded = fixture.WaitForWorker();
    allocprobe::StopFailing();
    ASSERT_TRUE(bStarted);
    ASSERT_TRUE(bEnded);
    wintest::PumpFor(100);  // a second final notice would have arrived by now

    EXPECT_EQ(fixture.displays.m_notices, (std::vector<WPARAM>{DL_STATUS_STARTED, DL_STATUS_FAILED}));
    EXPECT_EQ(fixture.runningAtFinalNotice, std::vector<bool>{false});
    EXPECT_FALSE(fixture.AnyDisplayVisible());
    EXPECT_EQ(fixture.pJob->GetOutcome(), outcome::kUnexpected);
}
