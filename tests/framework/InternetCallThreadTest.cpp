// The call thread behind an internet session: bounded waits, and strict order even after a call was given up.
#include "InternetCallThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

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
