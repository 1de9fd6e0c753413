// Waiting on a loopback socket in a way that a stop request can cut short.
#include "SocketWait.h"

namespace {

constexpr long kPollMicroseconds = 20000;

}  // namespace

bool WaitReadable(SOCKET s, HANDLE hStop)
{
    while (WaitForSingleObject(hStop, 0) != WAIT_OBJECT_0) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait = {0, kPollMicroseconds};
        if (select(0, &readable, nullptr, nullptr, &wait) != 0)
            return true;
    }
    return false;
}
