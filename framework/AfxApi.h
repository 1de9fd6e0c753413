// Free functions of the application framework: the application object, its resources and start-up services.
#pragma once

#include <windows.h>
#include <winsock2.h>

class CWinApp;

CWinApp* AfxGetApp();
// The module the program's dialog templates, strings and bitmaps come from.
HINSTANCE AfxGetResourceHandle();

// Limits DLL loading to the system directory and drops the current directory from the search,
// so a planted DLL next to a download is never loaded. Call before anything else runs.
void AfxRestrictDllSearch();

// Shows the string-table entry `promptId` in an unowned message box captioned with the application's name.
// helpId (-1: the prompt's own identifier) is kept for a help system the program does not ship.
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));

// Starts Windows Sockets (version 2.2); false when it cannot be started. AfxWinMain cleans up at exit.
bool AfxSocketInit(WSADATA* data = nullptr);
void AfxSocketTerm();

// Stand-in: the program hosts no ActiveX controls, so there is nothing to prepare.
void AfxEnableControlContainer();
