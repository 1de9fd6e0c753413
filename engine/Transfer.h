// The HTTP transfer of one download: the request, its checks, a new file and the read loop into it, the counters.
#pragma once

#include "WorkerWindows.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

class CHttpFile;

// One transfer, on the worker thread: it watches the stop flag, keeps the counters and has the displays refreshed
// at its refresh points (the first chunk, every 20th, a chunk that ends a speed sample, and after a loop that was
// not stopped).
class CTransfer {
public:
    // strFilePath is where the transfer keeps the path of the file it creates, from the moment it does (a job's
    // target path); it is emptied at the start of Run.
    CTransfer(const std::atomic<bool>& bStop, CTransferCounters& counters, std::string& strFilePath,
              std::function<void()> refresh);

    // Fetches the address into a new file of strFolder (strName, or its first free numbered variant); true when the
    // whole declared length was written and no stop was requested.
    bool Run(const std::string& strAddress, const std::string& strFolder, const std::string& strName);

    // How it ended, in words (an outcome:: text; empty for a status other than 200 or no length).
    const std::string& Outcome() const { return m_strOutcome; }
    // The file it created, whatever became of the transfer; empty when it created none.
    const std::string& FilePath() const { return m_strFilePath; }

private:
    enum class ELoopEnd { Normal, Stopped, WriteFailed };

    // From an opened response to a closed file: checks, the file and the read loop.
    bool ReceiveBody(CHttpFile& response, const std::string& strFolder, const std::string& strName);
    // Reads the body into pFile until nRemaining reaches 0, the body ends, a stop or a short write.
    ELoopEnd ReadBody(CHttpFile& response, FILE* pFile, int32_t& nRemaining);

    const std::atomic<bool>& m_bStop;
    CTransferCounters& m_counters;
    std::string& m_strFilePath;
    std::function<void()> m_refresh;
    std::string m_strOutcome;
};

// The clock of the request's query and of the speed samples: whole seconds since 1970, low 32 bits.
uint32_t ClockSeconds();
