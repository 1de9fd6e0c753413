// Free functions of the application framework: start-up services that need no application object.
#pragma once

#include <windows.h>
#include <winsock2.h>

// Limits DLL loading to the system directory and drops the current directory from the search,
// so a planted DLL next to a download is never loaded. Call before anything else runs.
void AfxRestrictDllSearch();

// Starts Windows Sockets (version 2.2); false when it cannot be started. AfxWinMain cleans up at exit.
bool AfxSocketInit(WSADATA* data = nullptr);
void AfxSocketTerm();

// Stand-in: the program hosts no ActiveX controls, so there is nothing to prepare.
void AfxEnableControlContainer();
