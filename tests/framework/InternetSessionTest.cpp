// The internet session layer over the real WinINet: loading, bounded calls, reads, headers, https to the end.
#include "AllocationProbe.h"
#include "InternetException.h"
#include "InternetSession.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <cstdio>
#include <cwctype>
#include <string>

namespace {

constexpr DWORD kShortTimeoutMs = 300;

std::wstring Wide(const std::string& str)
{
    return std::wstring(str.begin(), str.end());
}

void SetTimeout(CInternetSession& session, DWORD dwOption, DWORD dwMs)
{
    EXPECT_TRUE(session.SetOption(dwOption, &dwMs, sizeof dwMs));
}

// The error code of the CInternetException that call throws, or 0 when it throws none.
template <typename Call>
DWORD ErrorOf(Call call)
{
    try {
        call();
    } catch (const CInternetException& e) {
        return e.GetErrorCode();
    }
    return 0;
}

}  // namespace

TEST(InternetSession, WinInetIsLoadedAtRunTimeFromTheSystemFolder)
{
    EXPECT_EQ(GetModuleHandleW(L"wininet.dll"), nullptr) << "imported at start: it would be looked up beside the program";
    CInternetSession session(L"test");
    const HMODULE hModule = GetModuleHandleW(L"wininet.dll");
    ASSERT_NE(hModule, nullptr);
    wchar_t szPath[MAX_PATH] = {};
    GetModuleFileNameW(hModule, szPath, MAX_PATH);
    std::wstring strPath = szPath;
    for (wchar_t& c : strPath)
        c = static_cast<wchar_t>(std::towlower(c));
    EXPECT_NE(strPath.find(L"\\system32\\wininet.dll"), std::wstring::npos) << szPath;
}

TEST(InternetSession, OpeningIsBoundedByTheConnectTimeout)
{
    CScriptedServer server;
    server.On("/f", CServerScript().Hold());
    CInternetSession session(L"test");
    SetTimeout(session, INTERNET_OPTION_CONNECT_TIMEOUT, kShortTimeoutMs);
    const ULONGLONG nStart = GetTickCount64();
    EXPECT_EQ(ErrorOf([&] { session.OpenURL(Wide(server.Url("/f")).c_str()); }), DWORD(ERROR_INTERNET_TIMEOUT));
    const ULONGLONG nElapsed = GetTickCount64() - nStart;
    EXPECT_GE(nElapsed, kShortTimeoutMs - 10);
    EXPECT_LT(nElapsed, 1500u);
}

TEST(InternetSession, ReadTakesWhatHasArrivedAndFailsAfterTheReceiveTimeout)
{
    CScriptedServer server;
    server.On("/f", CServerScript()
                        .Send(CServerScript::Head(200, 1000) + std::string(100, 'a'))
                        .Pause(150)
                        .Send(std::string(100, 'b'))
                        .Hold());
    CInternetSession session(L"test");
    SetTimeout(session, INTERNET_OPTION_RECEIVE_TIMEOUT, kShortTimeoutMs);
    std::unique_ptr<CHttpFile> pFile = session.OpenURL(Wide(server.Url("/f")).c_str());

    char buffer[8192];
    EXPECT_EQ(pFile->Read(buffer, sizeof buffer), 100u) << "a read does not wait for the whole count";
    EXPECT_EQ(pFile->Read(buffer, sizeof buffer), 100u);
    EXPECT_EQ(buffer[0], 'b');
    const ULONGLONG nStart = GetTickCount64();
    // The layer's own bound, or WinINet's where it honours the option (Wine 10 reports it as the socket's error).
    const DWORD dwError = ErrorOf([&] { pFile->Read(buffer, sizeof buffer); });
    EXPECT_TRUE(dwError == ERROR_INTERNET_TIMEOUT || dwError == WSAETIMEDOUT) << dwError;
    const ULONGLONG nElapsed = GetTickCount64() - nStart;
    EXPECT_GE(nElapsed, kShortTimeoutMs - 10);
    EXPECT_LT(nElapsed, 1500u);
    pFile->Close();
    pFile->Close();
    EXPECT_EQ(ErrorOf([&] { pFile->Read(buffer, sizeof buffer); }), DWORD(ERROR_INVALID_HANDLE));
}

// Bodies that stall for good, as from a dead peer, one after another in one process: each reader gives up after
// the receive time-out and closes, and its 4 MiB read-ahead buffer goes at once, whether or not WinINet lets go of
// the wait (Windows ends it when the handle closes; Wine holds it, and its call thread, until the peer closes).
TEST(InternetSession, StalledBodiesGiveUpTheirBuffersAtOnce)
{
    constexpr int kStalls = 20;
    constexpr DWORD kStallTimeoutMs = 100;
    CScriptedServer server;
    server.On("/f", CServerScript().Send(CServerScript::Head(200, 1000) + "abc").Hold());
    const auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS memory = {};
        GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);  // PagefileUsage: the private bytes
        return static_cast<long long>(memory.PagefileUsage);
    };
    const long long nBytesBefore = privateBytes();
    const int64_t nHeldBefore = allocprobe::LargeBytesHeld();
    for (int i = 0; i < kStalls; ++i) {
        CInternetSession session(L"test");
        SetTimeout(session, INTERNET_OPTION_RECEIVE_TIMEOUT, kStallTimeoutMs);
        std::unique_ptr<CHttpFile> pFile = session.OpenURL(Wide(server.Url("/f")).c_str());
        char buffer[8192];
        EXPECT_EQ(pFile->Read(buffer, sizeof buffer), 3u);
        EXPECT_NE(ErrorOf([&] { pFile->Read(buffer, sizeof buffer); }), 0u);
    }
    EXPECT_LE(allocprobe::LargeBytesHeld(), nHeldBefore) << "the read-ahead buffers of abandoned bodies are still held";
    std::printf("after %d stalls: private bytes %+lld KiB\n", kStalls, (privateBytes() - nBytesBefore) / 1024);
}

TEST(InternetSession, StatusAndNumericHeaders)
{
    CScriptedServer server;
    server.On("/gone", CServerScript().Send(CServerScript::Head(404, 4) + "gone"));
    server.On("/open", CServerScript().Send(CServerScript::Head(200, std::nullopt) + "until the end"));
    CInternetSession session(L"test");

    std::unique_ptr<CHttpFile> pGone = session.OpenURL(Wide(server.Url("/gone")).c_str());
    DWORD dwValue = 0;
    EXPECT_TRUE(pGone->QueryInfoStatusCode(dwValue));
    EXPECT_EQ(dwValue, 404u);
    EXPECT_TRUE(pGone->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, dwValue));
    EXPECT_EQ(dwValue, 4u);

    std::unique_ptr<CHttpFile> pOpen = session.OpenURL(Wide(server.Url("/open")).c_str());
    dwValue = 77;
    EXPECT_FALSE(pOpen->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, dwValue));
    EXPECT_EQ(dwValue, 77u);
    pOpen->Close();
    EXPECT_FALSE(pOpen->QueryInfoStatusCode(dwValue));
}

TEST(InternetSession, HttpsMustStayHttpsThroughRedirects)
{
    CScriptedServer backend(testenv::BackendPort());
    backend.On("/TarnvikBrowser.exe", CServerScript::Complete("body"));
    const std::wstring strTls = L"https://localhost:" + std::to_wstring(testenv::TlsPort());
    CInternetSession session(L"test");

    std::unique_ptr<CHttpFile> pFile = session.OpenURL((strTls + L"/TarnvikBrowser.exe").c_str());
    DWORD dwStatus = 0;
    EXPECT_TRUE(pFile->QueryInfoStatusCode(dwStatus));
    EXPECT_EQ(dwStatus, 200u);
    EXPECT_EQ(ErrorOf([&] { session.OpenURL((strTls + L"/downgrade").c_str()); }),
              DWORD(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR));
}

TEST(InternetSession, FailuresToOpenAreExceptions)
{
    EXPECT_NE(ErrorOf([] { CInternetSession session(L"test", 1, INTERNET_OPEN_TYPE_PROXY, nullptr); }), 0u);

    CInternetSession session(L"test");
    EXPECT_NE(ErrorOf([&] { session.OpenURL(L"not an address"); }), 0u);
    session.Close();
    EXPECT_EQ(ErrorOf([&] { session.OpenURL(L"http://127.0.0.1/"); }), DWORD(ERROR_INVALID_HANDLE));
    DWORD dwValue = 1;
    EXPECT_FALSE(session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, &dwValue, sizeof dwValue));
}
