// Starting a thread that nobody joins, with its own reference to the state it works on.
#pragma once

#include <windows.h>

#include <memory>

namespace detached_thread {

template <class T>
struct CStart {
    std::shared_ptr<T> pState;
    void (*pBody)(T&);
};

template <class T>
DWORD WINAPI ThreadProc(LPVOID pParam)
{
    // The thread's reference goes only when its body has returned.
    const std::unique_ptr<CStart<T>> pStart(static_cast<CStart<T>*>(pParam));
    pStart->pBody(*pStart->pState);
    return 0;
}

}  // namespace detached_thread

// Runs pBody(*pState) on a new thread and closes the thread's handle at once. The thread holds a reference of its
// own, so the state outlives whoever started it. False, with the thread's reference dropped and GetLastError
// telling why, when the thread cannot be created.
template <class T>
bool StartDetachedThread(const std::shared_ptr<T>& pState, void (*pBody)(T&))
{
    auto* pStart = new detached_thread::CStart<T>{pState, pBody};
    const HANDLE hThread = CreateThread(nullptr, 0, detached_thread::ThreadProc<T>, pStart, 0, nullptr);
    if (hThread == nullptr) {
        const DWORD dwError = GetLastError();
        delete pStart;
        SetLastError(dwError);
        return false;
    }
    CloseHandle(hThread);
    return true;
}
