// The test program's operator new and delete: each block carries its size in front of it, so that the large blocks
// still held can be counted; allocations can be made to fail on other threads.
#include "AllocationProbe.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

constexpr size_t kLargeBytes = 1024 * 1024;
constexpr size_t kHeaderBytes = 16;  // keeps malloc's alignment for the block after it

std::atomic<int64_t> g_nLargeBytesHeld{0};
std::atomic<DWORD> g_dwOnlyAllocatingThread{0};  // 0: every thread allocates

}  // namespace

void* operator new(size_t nBytes)
{
    const DWORD dwOnly = g_dwOnlyAllocatingThread;
    if (dwOnly != 0 && GetCurrentThreadId() != dwOnly)
        throw std::bad_alloc();
    auto* pBlock = static_cast<size_t*>(std::malloc(kHeaderBytes + nBytes));
    if (pBlock == nullptr)
        throw std::bad_alloc();
    *pBlock = nBytes;
    if (nBytes >= kLargeBytes)
        g_nLargeBytesHeld += static_cast<int64_t>(nBytes);
    return reinterpret_cast<char*>(pBlock) + kHeaderBytes;
}

void operator delete(void* p) noexcept
{
    if (p == nullptr)
        return;
    auto* pBlock = reinterpret_cast<size_t*>(static_cast<char*>(p) - kHeaderBytes);
    if (*pBlock >= kLargeBytes)
        g_nLargeBytesHeld -= static_cast<int64_t>(*pBlock);
    std::free(pBlock);
}

void operator delete(void* p, size_t) noexcept
{
    operator delete(p);
}

namespace allocprobe {

void FailOnOtherThreads()
{
    g_dwOnlyAllocatingThread = GetCurrentThreadId();
}

void StopFailing()
{
    g_dwOnlyAllocatingThread = 0;
}

int64_t LargeBytesHeld()
{
    return g_nLargeBytesHeld;
}

}  // namespace allocprobe
