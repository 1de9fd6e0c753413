// A thread of its own for the WinINet calls of one internet session, so that a blocking call can be given up.
#include "InternetCallThread.h"

#include "DetachedThread.h"
#include "ExclusiveLock.h"
#include "InternetException.h"

#include <algorithm>
#include <cstdint>
#include <deque>

struct CInternetCallThread::CQueue {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::deque<std::function<void()>> jobs;
    uint64_t nQueued = 0;    // jobs ever queued; a job's ticket is the count right after queuing it
    uint64_t nFinished = 0;  // jobs that have run to their end
    bool bEnd = false;       // no more jobs will come
    ULONGLONG nJobStartTick = 0;  // when the running job started

    // Queues the job and returns its ticket. The lock must be held.
    uint64_t Push(std::function<void()> job)
    {
        jobs.push_back(std::move(job));
        WakeAllConditionVariable(&changed);
        return ++nQueued;
    }
};

CInternetCallThread::CInternetCallThread()
    : m_pQueue(std::make_shared<CQueue>())
{
    if (!StartDetachedThread(m_pQueue, ThreadProc))
        throw CInternetException(GetLastError());
}

CInternetCallThread::~CInternetCallThread()
{
    CExclusiveLock lock(m_pQueue->lock);
    m_pQueue->bEnd = true;
    WakeAllConditionVariable(&m_pQueue->changed);
}

bool CInternetCallThread::Call(std::function<void()> job, CBound bound)
{
    auto pThrew = std::make_shared<bool>(false);  // written by the job before it counts as finished
    CExclusiveLock lock(m_pQueue->lock);
    const uint64_t nTicket = m_pQueue->Push([job = std::move(job), pThrew] {
        try {
            job();
        } catch (...) {
            *pThrew = true;
        }
    });
    // Jobs queued earlier may still be running: the silence counts from the queuing until this job starts.
    ULONGLONG nSilentSince = GetTickCount64();
    while (m_pQueue->nFinished < nTicket) {
        const ULONGLONG nNow = GetTickCount64();
        if (m_pQueue->nFinished + 1 == nTicket)
            nSilentSince = std::max(nSilentSince, m_pQueue->nJobStartTick);
        const ULONGLONG nAllowed =
            bound.pProgress != nullptr ? bound.pProgress->GiveUpTick() : nSilentSince + bound.dwSilenceMs;
        const ULONGLONG nGiveUp = std::min(nAllowed, bound.nCeilingTick);
        if (nNow >= nGiveUp)
            return false;
        // Woken by the end of a job or, at the latest, when the bound would be reached; a job's progress may move
        // its limit either way, by a silence at least, so the limit is looked at again within every silence.
        const ULONGLONG nWake = std::min(nGiveUp, nNow + bound.dwSilenceMs);
        SleepConditionVariableSRW(&m_pQueue->changed, &m_pQueue->lock, static_cast<DWORD>(nWake - nNow), 0);
    }
    return !*pThrew;
}

void CInternetCallThread::Post(std::function<void()> job)
{
    CExclusiveLock lock(m_pQueue->lock);
    m_pQueue->Push(std::move(job));
}

void CInternetCallThread::ThreadProc(CQueue& queue)
{
    CExclusiveLock lock(queue.lock);
    for (;;) {
        while (queue.jobs.empty() && !queue.bEnd)
            SleepConditionVariableSRW(&queue.changed, &queue.lock, INFINITE, 0);
        if (queue.jobs.empty())
            break;
        std::function<void()> job = std::move(queue.jobs.front());
        queue.jobs.pop_front();
        queue.nJobStartTick = GetTickCount64();
        ReleaseSRWLockExclusive(&queue.lock);
        try {
            job();
        } catch (...) {  // a posted job has nobody to tell; the thread must go on with the jobs behind it
        }
        job = nullptr;  // release what the job holds before reporting it finished
        AcquireSRWLockExclusive(&queue.lock);
        ++queue.nFinished;
        WakeAllConditionVariable(&queue.changed);
    }
}
