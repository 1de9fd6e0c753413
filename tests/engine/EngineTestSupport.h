// What the engine tests share: wiring the worker's windows to the test displays.
#pragma once

#include "DownloadJob.h"
#include "Outcome.h"
#include "TestDisplays.h"
#include "WorkerWindows.h"

#include <commctrl.h>

inline CDownloadDisplays DisplaysOf(const CTestDisplays& displays)
{
    return {displays.Progress(), displays.PercentLabel(), displays.SizeLabel(), displays.SpeedLabel()};
}

// Points the windows at the displays as a start does.
inline void Bind(CWorkerWindows& windows, const CTestDisplays& displays)
{
    windows.Set(displays.Window(), DisplaysOf(displays));
}
