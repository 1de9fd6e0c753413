// The HTTP transfer into the target file: every outcome, the refresh cadence and the speed figure.
#include "EngineTestSupport.h"
#include "ExchangeProgress.h"
#include "InternetSession.h"
#include "LongLinkProxy.h"
#include "PathHelpers.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <utility>

namespace {

constexpr uint64_t k2Gib = 2147483648ull;
constexpr int kChunk = 8192;

std::string Bytes(size_t n)
{
    return MakeBody(n, static_cast<uint32_t>(n));
}

// A transfer refreshing fresh test displays, into a fresh scratch folder on this thread.
struct CTransferFixture {
    CTestDisplays displays{WM_DOWNLOAD_STATUS};
    CWorkerWindows windows;
    CTransferCounters counters;
    std::atomic<bool> bStop{false};
    std::string strCreated;
    CTransfer transfer{bStop, counters, strCreated, [this] { windows.Refresh(counters); }};
    std::string strFolder = testenv::MakeScratchFolder("transfer");
    std::string strTarget = strFolder + CDownloadJob::kFileName;

    CTransferFixture() { Bind(windows, displays); }
    bool Transfer(const std::string& strAddress) { return Into(strAddress, strFolder); }
    bool Into(const std::string& strAddress, const std::string& strIntoFolder)
    {
        return transfer.Run(strAddress, strIntoFolder, CDownloadJob::kFileName);
    }
};

}  // namespace

TEST(Transfer, EveryOutcomeOfAScriptedResponse)
{
    struct CRow {
        const char* pszName;
        std::vector<std::pair<std::string, CServerScript>> scripts;  // the first path is the one requested
        bool bResult;
        std::optional<std::string> file;  // nothing: no file is created
        const char* pszOutcome;
    };
    const std::string body = Bytes(50000);
    const CRow rows[] = {
        {"not found", {{"/f", CServerScript().Send(CServerScript::Head(404, 4) + "gone")}}, false, std::nullopt, ""},
        {"no length", {{"/f", CServerScript().Send(CServerScript::Head(200, std::nullopt) + "body")}}, false,
         std::nullopt, ""},
        {"zero length", {{"/f", CServerScript().Send(CServerScript::Head(200, 0))}}, false, std::nullopt, ""},
        {"cut short", {{"/f", CServerScript().Send(CServerScript::Head(200, 10000) + body.substr(0, 4000))}}, false,
         body.substr(0, 4000), outcome::kEndedEarly},
        {"more than declared", {{"/f", CServerScript().Send(CServerScript::Head(200, 1000) + body.substr(0, 1500))}},
         true, body.substr(0, 1000), outcome::kComplete},
        {"2 GiB declared", {{"/f", CServerScript().Send(CServerScript::Head(200, k2Gib) + body.substr(0, 100))}},
         false, std::string(), outcome::kEndedEarly},
        {"complete", {{"/f", CServerScript::Complete(body)}}, true, body, outcome::kComplete},
        {"redirect followed",
         {{"/f", CServerScript::Redirect("/moved/TarnvikBrowser.exe")},
          {"/moved/TarnvikBrowser.exe", CServerScript::Complete(body)}},
         true, body, outcome::kComplete},
        {"redirect with a fragment, which is never sent",
         {{"/f", CServerScript::Redirect("/moved/TarnvikBrowser.exe#sha256=0123")},
          {"/moved/TarnvikBrowser.exe", CServerScript::Complete(body)}},
         true, body, outcome::kComplete},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CScriptedServer server;
        for (const auto& [path, script] : row.scripts)
            server.On(path, script);
        CTransferFixture fixture;

        EXPECT_EQ(fixture.Transfer(server.Url(row.scripts.front().first)), row.bResult);
        EXPECT_EQ(ReadWholeFile(fixture.strTarget), row.file);
        EXPECT_EQ(fixture.transfer.Outcome(), row.pszOutcome);
        if (!row.file)
            EXPECT_TRUE(fixture.displays.m_positions.empty()) << "no refresh without a file";
        else
            EXPECT_FALSE(fixture.displays.m_positions.empty());
        EXPECT_EQ(server.RequestCount(), row.scripts.size());
    }
}

TEST(Transfer, MissingAddressOrPathMakesNoRequest)
{
    CScriptedServer server;
    server.On("/f", CServerScript::Complete("body"));
    CTransferFixture fixture;
    EXPECT_FALSE(fixture.Transfer(""));
    EXPECT_EQ(fixture.transfer.Outcome(), outcome::kMissingArgument);
    EXPECT_FALSE(fixture.Into(server.Url("/f"), ""));
    EXPECT_EQ(fixture.transfer.Outcome(), outcome::kMissingArgument);
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(Transfer, TargetThatCannotBeOpenedFails)
{
    CScriptedServer server;
    server.On("/f", CServerScript::Complete("body"));
    CTransferFixture fixture;
    const std::string strTarget = fixture.strFolder + "missing\\" + CDownloadJob::kFileName;
    EXPECT_FALSE(fixture.Into(server.Url("/f"), fixture.strFolder + "missing\\"));
    EXPECT_EQ(fixture.transfer.Outcome(), outcome::kOpenFileFailed);
    EXPECT_FALSE(ReadWholeFile(strTarget));
    EXPECT_TRUE(fixture.displays.m_positions.empty());
}

TEST(Transfer, FullDiskFailsWhetherTheWriteOrTheCloseNoticesIt)
{
    const std::string strFolder = TARNVIK_TEST_FULL_DISK_DIR, strTarget = strFolder + CDownloadJob::kFileName;
    ASSERT_FALSE(PathExists(strTarget)) << "the link to /dev/full looks like no file, as on a full disk";
    // A body larger than the stream's buffer reaches the disk during the loop and comes back short; a small
    // body sits in the buffer until the flush, which then fails.
    for (size_t nBytes : {size_t(3 * 1024 * 1024), size_t(100)}) {
        SCOPED_TRACE(nBytes);
        CScriptedServer server;
        server.On("/f", CServerScript::Complete(Bytes(nBytes)));
        CTransferFixture fixture;
        EXPECT_FALSE(fixture.Into(server.Url("/f"), strFolder));
        EXPECT_EQ(fixture.transfer.Outcome(), outcome::kWriteFailed);
    }
}

TEST(Transfer, StalledBodyFailsAfterTwoSecondsWithTheFileClosed)
{
    CScriptedServer server;
    const std::string body = Bytes(10000);
    server.On("/f", CServerScript().Send(CServerScript::Head(200, body.size()) + body.substr(0, 1000)).Pause(10000));
    CTransferFixture fixture;

    const ULONGLONG nStart = GetTickCount64();
    EXPECT_FALSE(fixture.Transfer(server.Url("/f")));
    const ULONGLONG nElapsed = GetTickCount64() - nStart;
    EXPECT_GE(nElapsed, 1900u);
    EXPECT_LT(nElapsed, 4000u);
    EXPECT_EQ(fixture.transfer.Outcome(), outcome::kConnectionError);
    EXPECT_EQ(ReadWholeFile(fixture.strTarget), body.substr(0, 1000));
    EXPECT_TRUE(FileIsClosed(fixture.strTarget));
}

TEST(Transfer, SlowButSteadyBodyIsNoStall)
{
    CScriptedServer server;
    const std::string body = Bytes(5 * 200);
    CServerScript script;
    script.Send(CServerScript::Head(200, body.size()));
    for (size_t i = 0; i < 5; ++i)
        script.Pause(700).Send(body.substr(i * 200, 200));  // 3.5 s in all, never 2 s without data
    server.On("/f", script);
    CTransferFixture fixture;
    EXPECT_TRUE(fixture.Transfer(server.Url("/f")));
    EXPECT_EQ(ReadWholeFile(fixture.strTarget), body);
}

TEST(Transfer, HttpsIsRequiredOnEveryHop)
{
    const std::string body = Bytes(3000);
    CScriptedServer backend(testenv::BackendPort());
    const std::string strTls = "https://localhost:" + std::to_string(testenv::TlsPort());
    const std::string strUntrusted = "https://localhost:" + std::to_string(testenv::UntrustedPort());
    backend.On("/TarnvikBrowser.exe", CServerScript::Complete(body));
    backend.On("/down-and-up", CServerScript::Redirect("http://127.0.0.1:" + std::to_string(backend.Port()) + "/plain"));
    backend.On("/plain", CServerScript::Redirect(strTls + "/TarnvikBrowser.exe"));

    struct CRow {
        std::string strAddress;
        bool bResult;
    };
    const CRow rows[] = {
        {strTls + "/TarnvikBrowser.exe", true},               // through the trusted proxy to the same backend
        {strTls + "/downgrade", false},                       // redirected down to plain http by nginx
        {strTls + "/down-and-up", false},                     // down to plain http, then back up to https
        {strUntrusted + "/static/TarnvikBrowser.exe", false}, // certificate from an unknown authority
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.strAddress);
        CTransferFixture fixture;
        EXPECT_EQ(fixture.Transfer(row.strAddress), row.bResult);
        EXPECT_EQ(fixture.transfer.Outcome(), row.bResult ? outcome::kComplete : outcome::kConnectionError);
        EXPECT_EQ(ReadWholeFile(fixture.strTarget), row.bResult ? std::optional<std::string>(body) : std::nullopt);
    }
    // Only the two https requests reached the backend: no request went out over plain http.
    std::vector<std::string> paths;
    for (const CRecordedRequest& request : backend.Requests())
        paths.push_back(request.strPath);
    EXPECT_EQ(paths, (std::vector<std::string>{"/TarnvikBrowser.exe", "/down-and-up"}));
}

TEST(Transfer, TimeOutsArePerExchangeAndOpeningIsBounded)
{
    const std::string body = Bytes(300000);
    const std::wstring strServed = testenv::StaticFolder() + L"\\long-link.bin";
    ASSERT_TRUE(WriteWholeFile(strServed, body));
    CScriptedServer backend(testenv::BackendPort());
    const std::string strTls = "https://localhost:" + std::to_string(testenv::TlsPort());
    backend.On("/hop1", CServerScript().Pause(1200).Send(CServerScript::Head(302, 0, "Location: " + strTls + "/hop2\r\n")));
    backend.On("/hop2", CServerScript().Pause(1200).Send(CServerScript::Head(200, body.size()) + body));
    backend.On("/quick", CServerScript::Redirect(strTls + "/silent"));
    backend.On("/silent", CServerScript().Pause(2500).Send(CServerScript::Head(200, body.size()) + body));
    backend.On("/loop", CServerScript::Redirect("/loop"));
    CLongLinkProxy longLink(testenv::TlsPort(), 350);
    const std::string strLongLink = "https://localhost:" + std::to_string(longLink.Port());
    CScriptedServer silentTls;  // accepts, then never answers the TLS handshake
    CLongLinkProxy proxy(CLongLinkProxy::kProxy, 0);  // the system's, for the rows through a proxy
    // Servers whose issuer the client fetches from the backend, before the request, with no notice meanwhile.
    const testenv::CAiaServer direct = testenv::AiaServer("direct"), proxied = testenv::AiaServer("proxy");
    const auto issuerAfter = [](const std::string& strIssuer, DWORD dwMs) {
        return CServerScript().Pause(dwMs).Send(CServerScript::Head(200, strIssuer.size()) + strIssuer);
    };
    const auto aiaAddress = [](const testenv::CAiaServer& server) {
        return "https://localhost:" + std::to_string(server.nPort) + "/static/long-link.bin";
    };
    // The handshake and the check of the server's chain get their silences and Windows' URL retrieval limits.
    constexpr ULONGLONG kChainMs = CExchangeProgress::kChainCheckMs, kChainBoundMs = kChainMs + 3 * 2000;

    struct CRow {
        const char* pszName;
        std::string strAddress;
        bool bResult;
        ULONGLONG nMinMs, nMaxMs;
        std::pair<std::string, CServerScript> issuer = {};  // the backend's script for an issuer, first
        bool bThroughProxy = false;
    };
    const CRow rows[] = {
        // Connect, handshake, request and head take several 700 ms round trips: more than 2 s in all.
        {"long link, 350 ms each way", strLongLink + "/static/long-link.bin", true, 2100, 15000},
        {"two hops of 1.2 s each", strTls + "/hop1", true, 2400, 5000},
        // The second hop's head stays out for 2.5 s: the time-out fires 2 s into that silence.
        {"an exchange silent for 2.5 s", strTls + "/quick", false, 1900, 2500},
        {"a redirect loop", strTls + "/loop", false, 0, 5000},
        {"a TLS handshake never answered", "https://127.0.0.1:" + std::to_string(silentTls.Port()) + "/f", false,
         kChainMs, kChainBoundMs + 2000},
        {"the server's issuer never sent", aiaAddress(direct), false, kChainMs, kChainBoundMs + 2000,
         {direct.strIssuerPath, CServerScript().Hold()}},
        {"the server's issuer never sent, through a proxy", aiaAddress(proxied), false, kChainMs,
         kChainBoundMs + 2000, {proxied.strIssuerPath, CServerScript().Hold()}, true},
        {"the server's issuer sent 6 s late", aiaAddress(direct), true, 6000, 20000,
         {direct.strIssuerPath, issuerAfter(direct.strIssuer, 6000)}},
        {"the server's issuer sent 6 s late, through a proxy", aiaAddress(proxied), true, 6000, 20000,
         {proxied.strIssuerPath, issuerAfter(proxied.strIssuer, 6000)}, true},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        if (!row.issuer.first.empty())
            backend.On(row.issuer.first, row.issuer.second);
        std::optional<testenv::CSystemProxy> systemProxy;
        if (row.bThroughProxy)
            systemProxy.emplace(proxy.Port());
        CTransferFixture fixture;
        const ULONGLONG nStart = GetTickCount64();
        EXPECT_EQ(fixture.Transfer(row.strAddress), row.bResult);
        const ULONGLONG nElapsed = GetTickCount64() - nStart;
        EXPECT_GE(nElapsed, row.nMinMs);
        EXPECT_LT(nElapsed, row.nMaxMs);
        EXPECT_TRUE(ReadWholeFile(fixture.strTarget) == (row.bResult ? std::optional<std::string>(body) : std::nullopt));
    }
    _wremove(strServed.c_str());
    size_t nLoopRequests = 0;
    for (const CRecordedRequest& request : backend.Requests())
        nLoopRequests += request.strPath == "/loop";
    EXPECT_EQ(nLoopRequests, size_t(CInternetSession::kMaxRedirects + 1));
}

TEST(Transfer, RefreshesAtFirstChunkEveryTwentiethAndAfterTheLoop)
{
    constexpr int kChunks = 45;
    const std::string body = Bytes(kChunks * kChunk);
    CServerScript script;
    script.Send(CServerScript::Head(200, body.size())).Pause(20);
    for (int i = 0; i < kChunks; ++i)
        script.Send(body.substr(static_cast<size_t>(i) * kChunk, kChunk)).Pause(5);
    CScriptedServer server;
    server.On("/f", script);
    CTransferFixture fixture;
    std::vector<int64_t> refreshedAt;
    fixture.displays.m_onSetPos = [&](int) { refreshedAt.push_back(fixture.counters.m_nDownloaded); };

    WaitForClockSecondStart();  // no speed sample ends during this short transfer
    EXPECT_TRUE(fixture.Transfer(server.Url("/f")));
    EXPECT_EQ(refreshedAt, (std::vector<int64_t>{0, 20 * kChunk, 40 * kChunk, kChunks * kChunk}));
    EXPECT_EQ(fixture.displays.m_positions, (std::vector<int>{0, 44, 88, 100}));
    EXPECT_EQ(fixture.displays.m_percentTexts,
              (std::vector<std::wstring>{L"已下载 0.0 %", L"已下载 44.4 %", L"已下载 88.9 %", L"已下载 100.0 %"}));
    EXPECT_EQ(fixture.displays.m_sizeTexts, std::vector<std::wstring>{L"文件大小: 360.0 KB"});
}

TEST(Transfer, OneReadBodyShowsZeroThenHundred)
{
    CScriptedServer server;
    server.On("/f", CServerScript::Complete(Bytes(kChunk)));
    CTransferFixture fixture;
    EXPECT_TRUE(fixture.Transfer(server.Url("/f")));
    EXPECT_EQ(fixture.displays.m_positions, (std::vector<int>{0, 100}));
    EXPECT_EQ(fixture.displays.m_percentTexts, (std::vector<std::wstring>{L"已下载 0.0 %", L"已下载 100.0 %"}));
}

TEST(Transfer, SpeedIsPerSecondOfTheWholeSample)
{
    CScriptedServer server;
    server.On("/f", CServerScript()
                        .Send(CServerScript::Head(200, 2000) + Bytes(1000))
                        .Pause(1700)
                        .Send(Bytes(1000)));
    CTransferFixture fixture;
    // Start half a second into a clock second: the second chunk then comes two clock seconds after the first.
    WaitForClockSecondStart();
    Sleep(500);
    EXPECT_TRUE(fixture.Transfer(server.Url("/f")));
    EXPECT_EQ(fixture.counters.m_nSpeed, 1000);
    // First chunk: the record's earlier figure; second chunk ends the sample; the final refresh shows the
    // same text, which is not set again.
    EXPECT_EQ(fixture.displays.m_speedTexts, (std::vector<std::wstring>{L"下载速度: 0.0 b/s", L"下载速度: 1000.0 b/s"}));
}

TEST(Transfer, StopDuringTheReadLoopKeepsWhatWasWrittenWithoutFinalRefresh)
{
    const std::string body = Bytes(30 * kChunk);
    CServerScript script;
    script.Send(CServerScript::Head(200, body.size())).Pause(20);
    for (int i = 0; i < 30; ++i)
        script.Send(body.substr(static_cast<size_t>(i) * kChunk, kChunk)).Pause(5);
    CScriptedServer server;
    server.On("/f", script);
    CTransferFixture fixture;
    fixture.displays.m_onSetPos = [&](int) { fixture.bStop = true; };  // at the first chunk's refresh

    EXPECT_FALSE(fixture.Transfer(server.Url("/f")));
    EXPECT_EQ(fixture.transfer.Outcome(), outcome::kStopped);
    EXPECT_EQ(fixture.displays.m_positions.size(), 1u);
    const std::optional<std::string> file = ReadWholeFile(fixture.strTarget);
    ASSERT_TRUE(file);
    EXPECT_EQ(static_cast<int64_t>(file->size()), fixture.counters.m_nDownloaded);
    EXPECT_EQ(*file, body.substr(0, file->size()));
    EXPECT_TRUE(FileIsClosed(fixture.strTarget));
}

TEST(Transfer, StopAfterTheLastChunkStillFails)
{
    const std::string body = Bytes(3000);
    CScriptedServer server;
    server.On("/f", CServerScript::Complete(body));
    CTransferFixture fixture;
    fixture.displays.m_onSetPos = [&](int nPosition) {
        if (nPosition == 100)
            fixture.bStop = true;  // during the refresh after the loop
    };
    EXPECT_FALSE(fixture.Transfer(server.Url("/f")));
    EXPECT_EQ(fixture.transfer.Outcome(), outcome::kStopped);
    EXPECT_EQ(ReadWholeFile(fixture.strTarget), body);
}

TEST(Transfer, LargeBodyArrivesByteForByte)
{
    constexpr size_t kBytes = 64u * 1024 * 1024;
    const std::string body = MakeBody(kBytes, 64);
    const std::wstring strServed = testenv::StaticFolder() + L"\\large.bin";
    ASSERT_TRUE(WriteWholeFile(strServed, body));

    CTransferFixture fixture;
    EXPECT_TRUE(fixture.Transfer("https://localhost:" + std::to_string(testenv::TlsPort()) + "/static/large.bin"));
    _wremove(strServed.c_str());
    ASSERT_FALSE(fixture.displays.m_positions.empty());
    EXPECT_EQ(fixture.displays.m_positions.back(), 100);
    EXPECT_EQ(fixture.displays.Position(), 100);
    EXPECT_EQ(fixture.displays.m_sizeTexts, std::vector<std::wstring>{L"文件大小: 64.0 MB"});
    const std::optional<std::string> file = ReadWholeFile(fixture.strTarget);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), kBytes);
    EXPECT_TRUE(*file == body) << "the downloaded bytes differ";
}
