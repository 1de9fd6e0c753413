// Waiting on a loopback socket in a way that a stop request can cut short.
#pragma once

#include <winsock2.h>

// Wait until the socket can be read (or written), polling so a stop is seen; false once hStop (an event) is set.
bool WaitReadable(SOCKET s, HANDLE hStop);
bool WaitWritable(SOCKET s, HANDLE hStop);
