// A thread of its own for the WinINet calls of one internet session, so that a blocking call can be given up.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

// WinINet's time-out options are not honoured everywhere (Wine ignores them), and closing a handle from
// another thread does not reliably cancel a call blocked on it. So every call on a session's handles runs
// here, one after the other, and the caller waits for it only as long as the call's bound allows.
//
// Jobs run strictly in the order they were queued, so a job that closes a handle always runs after every
// job that still uses it: a handle is never closed while a call on it is in progress, even when the caller
// has long given up on that call. A job must therefore own everything it touches (capture shared state by
// value), because its caller may be gone by the time it runs. No exception leaves the thread: a job that
// throws counts as failed.
class CInternetCallThread {
public:
    // When a caller gives up on a job that announces its own progress: a moment that the job, or whatever it calls
    // back from any thread, moves as it advances. It never moves closer than one silence of the bound from now, so
    // a caller that looks again at least once per silence never waits past it.
    class CProgress {
    public:
        explicit CProgress(DWORD dwAllowedMs) { AllowFromNow(dwAllowedMs); }
        // The job may go on for dwMs from now.
        void AllowFromNow(DWORD dwMs) { m_nGiveUpTick = GetTickCount64() + dwMs; }
        ULONGLONG GiveUpTick() const { return m_nGiveUpTick; }

    private:
        std::atomic<ULONGLONG> m_nGiveUpTick;
    };

    // How long a caller waits: until the job has run for dwSilenceMs (counted from its start), or, given pProgress,
    // until the moment that progress allows; never past nCeilingTick (a GetTickCount64 value). The caller keeps
    // *pProgress alive during the call.
    struct CBound {
        DWORD dwSilenceMs;
        ULONGLONG nCeilingTick = ~0ull;
        const CProgress* pProgress = nullptr;
    };

    // Starts the thread; throws CInternetException when it cannot be started.
    CInternetCallThread();
    // Lets the thread finish the jobs already queued and end; never waits for it (a call may still block).
    ~CInternetCallThread();

    CInternetCallThread(const CInternetCallThread&) = delete;
    CInternetCallThread& operator=(const CInternetCallThread&) = delete;

    // Queues the job and waits until it has run: true when it finished within the bound without throwing.
    // On false the job may still run later, and the caller must not look at its results.
    bool Call(std::function<void()> job, CBound bound);
    bool Call(std::function<void()> job, DWORD dwTimeoutMs) { return Call(std::move(job), CBound{dwTimeoutMs}); }

    // Call for a job that leaves a result: job(result) runs on the call thread, the result on the heap, shared
    // with the job, since a job given up on may still write it. Returns the result once the job finished within
    // the bound, else null: the result then goes with the job, on the call thread, and what it owns with it.
    template <typename Result>
    std::shared_ptr<Result> CallForResult(std::function<void(Result&)> job, CBound bound)
    {
        auto pResult = std::make_shared<Result>();
        if (Call([job = std::move(job), pResult] { job(*pResult); }, bound))
            return pResult;
        return nullptr;
    }

    // Queues the job without waiting for it.
    void Post(std::function<void()> job);

    // Called on a call thread while its current job advances (a WinINet status notice): restarts the
    // silence its caller measures, and allows the step that begins now nSilences silences. Does nothing on
    // any other thread.
    static void MarkProgress(DWORD nSilences = 1);

private:
    struct CQueue;
    // The thread's body: runs the queued jobs until the end is asked and none is left.
    static void ThreadProc(CQueue& queue);

    std::shared_ptr<CQueue> m_pQueue;
};
