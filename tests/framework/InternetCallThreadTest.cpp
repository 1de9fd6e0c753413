// The call thread behind an internet session: bounded waits, and strict order even after a call was given up.
#include "InternetCallThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

struct CEvent {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~CEvent() { CloseHandle(h); }
};

}  // namespace

TEST(InternetCallThread, CallReturnsTheJobsWorkWhenInTime)
{
    CInternetCallThread calls;
    auto pValue = std::make_shared<int>(0);
    EXPECT_TRUE(calls.Call([pValue] { *pValue = 42; }, 1000));
    EXPECT_EQ(*pValue, 42);
}

TEST(InternetCallThread, LaterJobsWaitForAGivenUpCall)
{
    auto pBlocker = std::make_shared<CEvent>();
    auto pOrder = std::make_shared<std::atomic<int>>(0);
    auto pClosedAfterUse = std::make_shared<std::atomic<bool>>(false);
    {
        CInternetCallThread calls;
        const ULONGLONG nStart = GetTickCount64();
        EXPECT_FALSE(calls.Call(
            [pBlocker, pOrder] {
                WaitForSingleObject(pBlocker->h, INFINITE);  // a call stuck on the network
                *pOrder = 1;
            },
            100));
        const ULONGLONG nElapsed = GetTickCount64() - nStart;
        EXPECT_GE(nElapsed, 90u);
        EXPECT_LT(nElapsed, 1000u);

        // The close is queued behind the stuck call, as a handle close is, and the owner goes away meanwhile.
        calls.Post([pOrder, pClosedAfterUse] { *pClosedAfterUse = *pOrder == 1; });
    }
    Sleep(50);
    EXPECT_FALSE(*pClosedAfterUse) << "nothing may overtake the running call";
    SetEvent(pBlocker->h);
    for (int i = 0; i < 200 && !*pClosedAfterUse; ++i)
        Sleep(5);
    EXPECT_TRUE(*pClosedAfterUse);
}

TEST(InternetCallThread, CallWaitsAsLongAsTheJobProgressesWithinTheCeiling)
{
    constexpr DWORD kSilenceMs = 300;
    struct CRow {
        const char* pszName;
        std::function<void(CInternetCallThread::CProgress&)> job;
        DWORD dwCeilingMs;
        bool bInTime;
        ULONGLONG nMinMs, nMaxMs;
    };
    // Progress told from another thread, as WinINet may call back on any.
    const auto progressFor = [](DWORD dwMs) {
        return [dwMs](CInternetCallThread::CProgress& progress) {
            std::thread([&progress, dwMs] {
                for (DWORD dwSpent = 0; dwSpent < dwMs; dwSpent += 100) {
                    Sleep(100);
                    progress.AllowFromNow(kSilenceMs);
                }
            }).join();
        };
    };
    const CRow rows[] = {
        {"progressing longer than the silence", progressFor(900), INFINITE, true, 850, 1500},
        {"silent longer than the silence", [](CInternetCallThread::CProgress&) { Sleep(900); }, INFINITE, false, 290,
         600},
        {"a long step, then back to the silence",
         [](CInternetCallThread::CProgress& progress) {
             progress.AllowFromNow(3000);
             Sleep(700);
             progress.AllowFromNow(kSilenceMs);
             Sleep(2000);
         },
         INFINITE, false, 990, 1400},
        {"progressing past the ceiling", progressFor(1000), 600, false, 590, 900},
        {"throwing", [](CInternetCallThread::CProgress&) { throw 1; }, INFINITE, false, 0, 200},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CInternetCallThread calls;
        const ULONGLONG nStart = GetTickCount64();
        const ULONGLONG nCeiling = row.dwCeilingMs == INFINITE ? ~0ull : nStart + row.dwCeilingMs;
        auto pProgress = std::make_shared<CInternetCallThread::CProgress>(kSilenceMs);
        EXPECT_EQ(calls.Call([job = row.job, pProgress] { job(*pProgress); }, {kSilenceMs, nCeiling, pProgress.get()}),
                  row.bInTime);
        const ULONGLONG nElapsed = GetTickCount64() - nStart;
        EXPECT_GE(nElapsed, row.nMinMs);
        EXPECT_LT(nElapsed, row.nMaxMs);
        EXPECT_TRUE(calls.Call([] {}, 2000)) << "the thread goes on after every job";
    }
}
