// Waiting on a loopback socket in a way that a stop request can cut short.
#include "SocketWait.h"

namespace {

constexpr long kPollMicroseconds = 20000;

bool WaitReady(SOCKET s, HANDLE hStop, bool bWrite)
{
    while (WaitForSingleObject(hStop, 0) != WAIT_OBJECT_0) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(s, &ready);
        timeval wait = {0, kPollMicroseconds};
        if (select(0, bWrite ? nullptr : &ready, bWrite ? &ready : nullptr, nullptr, &wait) != 0)
            return true;
    }
    return false;
}

}  // namespace

bool WaitReadable(SOCKET s, HANDLE hStop)
{
    return WaitReady(s, hStop, false);
}

bool WaitWritable(SOCKET s, HANDLE hStop)
{
    return WaitReady(s, hStop, true);
}
