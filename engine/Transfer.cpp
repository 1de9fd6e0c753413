// The HTTP transfer of one download: the request, its checks, a new file and the read loop into it, the counters.
#include "Transfer.h"

#include "InternetException.h"
#include "InternetSession.h"
#include "NumberedFile.h"
#include "Outcome.h"
#include "TextConversion.h"
#include "UniqueHandle.h"

#include <algorithm>
#include <ctime>
#include <memory>

namespace {

constexpr wchar_t kAgentName[] = L"tarnvikbrowserhsdownload";
constexpr DWORD_PTR kContext = 1;
constexpr DWORD kTimeoutMs = 2000;
constexpr DWORD kTimeoutOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                     INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                                     INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY;
constexpr DWORD kHttpOk = 200;
constexpr int32_t kReadChunkBytes = 8192;
constexpr int32_t kChunksPerRefresh = 20;
constexpr size_t kWriteBufferBytes = 1024 * 1024;

}  // namespace

CTransfer::CTransfer(const std::atomic<bool>& bStop, CTransferCounters& counters, std::string& strFilePath,
                     std::function<void()> refresh)
    : m_bStop(bStop), m_counters(counters), m_strFilePath(strFilePath), m_refresh(std::move(refresh))
{
}

bool CTransfer::Run(const std::string& strAddress, const std::string& strFolder, const std::string& strName)
{
    m_strOutcome.clear();
    m_strFilePath.clear();
    if (strAddress.empty() || strFolder.empty()) {
        m_strOutcome = outcome::kMissingArgument;
        return false;
    }
    const std::wstring strWideAddress = AnsiToWide(strAddress);

    try {
        // A session that cannot be opened is a failed transfer like any other, never the end of the program.
        CInternetSession session(kAgentName, kContext, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        for (DWORD dwOption : kTimeoutOptions) {
            DWORD dwTimeout = kTimeoutMs;
            session.SetOption(dwOption, &dwTimeout, sizeof dwTimeout);
        }
        const std::unique_ptr<CHttpFile> pResponse =
            session.OpenURL(strWideAddress.c_str(), kContext, kOpenFlags, nullptr, 0);
        return ReceiveBody(*pResponse, strFolder, strName);
    } catch (const CInternetException&) {
        m_strOutcome = outcome::kConnectionError;
        return false;
    }
}

bool CTransfer::ReceiveBody(CHttpFile& response, const std::string& strFolder, const std::string& strName)
{
    DWORD dwStatus = 0;
    if (!response.QueryInfoStatusCode(dwStatus) || dwStatus != kHttpOk)
        return false;
    DWORD dwDeclared = 0;
    response.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, dwDeclared);
    m_counters.m_nTotalSize = dwDeclared;
    m_counters.m_nDownloaded = 0;
    if (dwDeclared == 0)
        return false;

    // A stop asked for while the connection was set up: no file is made for a download that will not happen.
    if (m_bStop) {
        m_strOutcome = outcome::kStopped;
        return false;
    }
    // Created only now, with a name of its own: another copy may have taken the first one meanwhile.
    std::string strPath;
    CUniqueStream pFile(CreateNumberedFile(strFolder, strName, strPath));  // also closed when a read throws
    if (!pFile) {
        m_strOutcome = outcome::kOpenFileFailed;
        return false;
    }
    m_strFilePath = strPath;

    // A declared length of 2^31 or more turns negative here: nothing is read and the body counts as ended early.
    int32_t nRemaining = static_cast<int32_t>(dwDeclared);
    const ELoopEnd end = ReadBody(response, pFile.get(), nRemaining);
    if (end == ELoopEnd::Normal && !m_bStop)
        m_refresh();

    // The disk has the data only when every write was whole and the buffered rest could be flushed. The flush
    // is checked on its own: Wine's runtime lets fclose report success when its final flush failed.
    const bool bFlushFailed = fflush(pFile.get()) != 0;
    const bool bCloseFailed = fclose(pFile.release()) != 0;
    // The file is closed before the outcome is judged; a stop outweighs a failed write, which outweighs a short body.
    const char* pszOutcome = outcome::kComplete;
    if (m_bStop)
        pszOutcome = outcome::kStopped;
    else if (end == ELoopEnd::WriteFailed || bFlushFailed || bCloseFailed)
        pszOutcome = outcome::kWriteFailed;
    else if (nRemaining != 0)
        pszOutcome = outcome::kEndedEarly;
    m_strOutcome = pszOutcome;
    return pszOutcome == outcome::kComplete;
}

CTransfer::ELoopEnd CTransfer::ReadBody(CHttpFile& response, FILE* pFile, int32_t& nRemaining)
{
    // Each chunk is written as it comes; a large stream buffer turns them into few writes to the disk.
    setvbuf(pFile, nullptr, _IOFBF, kWriteBufferBytes);
    char buffer[kReadChunkBytes];
    int32_t nChunks = 0;
    uint32_t nSampleStart = ClockSeconds();
    int64_t nSampleBytes = 0;
    while (nRemaining > 0) {
        if (m_bStop)
            return ELoopEnd::Stopped;
        const UINT nWanted = static_cast<UINT>(std::min(nRemaining, kReadChunkBytes));
        const int32_t nRead = static_cast<int32_t>(response.Read(buffer, nWanted));
        if (nRead <= 0)
            return ELoopEnd::Normal;
        if (m_bStop)
            return ELoopEnd::Stopped;
        if (fwrite(buffer, 1, static_cast<size_t>(nRead), pFile) != static_cast<size_t>(nRead))
            return ELoopEnd::WriteFailed;
        if (m_bStop)
            return ELoopEnd::Stopped;

        nSampleBytes += nRead;
        const uint32_t nNow = ClockSeconds();
        // A signed difference: a clock set back gives a negative one, which ends no sample.
        const int32_t nElapsed = static_cast<int32_t>(nNow - nSampleStart);
        if (nElapsed >= 1) {
            // Per second of the whole sample: after a pause of several seconds the bytes are not one second's worth.
            m_counters.m_nSpeed = nSampleBytes / nElapsed;
            nSampleBytes = 0;
            nSampleStart = nNow;
        }
        // A refresh here shows the count before this chunk; the one after the loop shows the final count.
        if (m_counters.m_nDownloaded == 0 || nChunks >= kChunksPerRefresh || nElapsed >= 1) {
            m_refresh();
            nChunks = 0;
        }
        ++nChunks;
        m_counters.m_nDownloaded += nRead;
        nRemaining -= nRead;
    }
    return ELoopEnd::Normal;
}

uint32_t ClockSeconds()
{
    return static_cast<uint32_t>(_time64(nullptr));
}
