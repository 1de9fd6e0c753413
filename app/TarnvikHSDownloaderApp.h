// CTarnvikHSDownloaderApp: the application object that runs the main dialog and ends with it.
#pragma once

#include "WinApp.h"

class CTarnvikHSDownloaderApp : public CWinApp {
public:
    CTarnvikHSDownloaderApp();
    ~CTarnvikHSDownloaderApp() override;

    // Prepares the framework services, runs the main dialog modally and returns FALSE: the dialog's
    // modal loop is the program's only one.
    BOOL InitInstance() override;
};
