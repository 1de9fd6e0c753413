// A thread of its own for the WinINet calls of one internet session, so that a blocking call can be given up.
#include "InternetCallThread.h"

#include "InternetException.h"

#include <cstdint>
#include <deque>

struct CInternetCallThread::CQueue {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::deque<std::function<void()>> jobs;
    uint64_t nQueued = 0;    // jobs ever queued; a job's ticket is the count right after queuing it
    uint64_t nFinished = 0;  // jobs that have run to their end
    bool bEnd = false;       // no more jobs will come

    // Queues the job and returns its ticket. The lock must be held.
    uint64_t Push(std::function<void()> job)
    {
        jobs.push_back(std::move(job));
        WakeAllConditionVariable(&changed);
        return ++nQueued;
    }
};

namespace {

class CExclusiveLock {
public:
    explicit CExclusiveLock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~CExclusiveLock() { ReleaseSRWLockExclusive(&m_lock); }
    CExclusiveLock(const CExclusiveLock&) = delete;
    CExclusiveLock& operator=(const CExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};

}  // namespace

CInternetCallThread::CInternetCallThread()
    : m_pQueue(std::make_shared<CQueue>())
{
    auto* pThreadReference = new std::shared_ptr<CQueue>(m_pQueue);
    HANDLE hThread = CreateThread(nullptr, 0, ThreadProc, pThreadReference, 0, nullptr);
    if (hThread == nullptr) {
        const DWORD dwError = GetLastError();
        delete pThreadReference;
        throw CInternetException(dwError);
    }
    CloseHandle(hThread);
}

CInternetCallThread::~CInternetCallThread()
{
    CExclusiveLock lock(m_pQueue->lock);
    m_pQueue->bEnd = true;
    WakeAllConditionVariable(&m_pQueue->changed);
}

bool CInternetCallThread::Call(std::function<void()> job, DWORD dwTimeoutMs)
{
    CExclusiveLock lock(m_pQueue->lock);
    const uint64_t nTicket = m_pQueue->Push(std::move(job));
    const ULONGLONG nDeadline = GetTickCount64() + dwTimeoutMs;
    while (m_pQueue->nFinished < nTicket) {
        const ULONGLONG nNow = GetTickCount64();
        if (nNow >= nDeadline)
            return false;
        SleepConditionVariableSRW(&m_pQueue->changed, &m_pQueue->lock, static_cast<DWORD>(nDeadline - nNow), 0);
    }
    return true;
}

void CInternetCallThread::Post(std::function<void()> job)
{
    CExclusiveLock lock(m_pQueue->lock);
    m_pQueue->Push(std::move(job));
}

DWORD WINAPI CInternetCallThread::ThreadProc(LPVOID pParam)
{
    const std::unique_ptr<std::shared_ptr<CQueue>> pOwnReference(static_cast<std::shared_ptr<CQueue>*>(pParam));
    CQueue& queue = **pOwnReference;
    CExclusiveLock lock(queue.lock);
    for (;;) {
        while (queue.jobs.empty() && !queue.bEnd)
            SleepConditionVariableSRW(&queue.changed, &queue.lock, INFINITE, 0);
        if (queue.jobs.empty())
            return 0;
        std::function<void()> job = std::move(queue.jobs.front());
        queue.jobs.pop_front();
        ReleaseSRWLockExclusive(&queue.lock);
        job();
        job = nullptr;  // release what the job holds before reporting it finished
        AcquireSRWLockExclusive(&queue.lock);
        ++queue.nFinished;
        WakeAllConditionVariable(&queue.changed);
    }
}
