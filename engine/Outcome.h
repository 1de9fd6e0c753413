// How a download ended, in words (narrow, GBK): shown nowhere, kept for diagnosis (CDownloadJob::GetOutcome).
#pragma once

namespace outcome {

// The transfer's outcomes; a status other than 200 and a missing length leave the text empty.
inline constexpr char kMissingArgument[] = "下载地址或者保存地址值为空";
inline constexpr char kOpenFileFailed[] = "打开文件失败";
inline constexpr char kEndedEarly[] = "未接收完中断退出";
inline constexpr char kWriteFailed[] = "写入文件失败";
inline constexpr char kComplete[] = "完成下载";
inline constexpr char kStopped[] = "中断下载程序";
inline constexpr char kConnectionError[] = "未知链接错误";
// The job's own, after the transfer.
inline constexpr char kUntrusted[] = "安装文件签名无效";
inline constexpr char kUnexpected[] = "意外错误";

}  // namespace outcome
