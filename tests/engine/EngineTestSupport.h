// What the engine tests share: wiring a job to the test displays, and the texts the engine writes.
#pragma once

#include "DownloadJob.h"
#include "DownloadJobControl.h"
#include "TestDisplays.h"

#include <commctrl.h>

#include <string>

inline CDownloadDisplays DisplaysOf(const CTestDisplays& displays)
{
    return {displays.Progress(), displays.PercentLabel(), displays.SizeLabel(), displays.SpeedLabel()};
}

// Points the job at the displays as a start would, without starting a worker.
inline void Bind(CDownloadJob& job, const CTestDisplays& displays)
{
    job.m_hNotifyWnd = displays.Window();
    job.SetDisplays(DisplaysOf(displays));
}

// The outcome texts of a transfer, spelled out independently of the engine (narrow, GBK).
namespace outcome {
constexpr char kMissingArgument[] = "下载地址或者保存地址值为空";
constexpr char kOpenFileFailed[] = "打开文件失败";
constexpr char kEndedEarly[] = "未接收完中断退出";
constexpr char kWriteFailed[] = "写入文件失败";
constexpr char kComplete[] = "完成下载";
constexpr char kStopped[] = "中断下载程序";
constexpr char kConnectionError[] = "未知链接错误";
}  // namespace outcome
