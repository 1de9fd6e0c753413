// File and byte helpers for tests: whole-file reads, generated bodies, the seconds clock.
#include "TestFiles.h"

#include <windows.h>

#include <cstdio>
#include <ctime>

std::optional<std::string> ReadWholeFile(const std::string& strPath)
{
    FILE* pFile = nullptr;
    if (fopen_s(&pFile, strPath.c_str(), "rb") != 0 || pFile == nullptr)
        return std::nullopt;
    std::string strBytes;
    char buffer[65536];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pFile)) > 0)
        strBytes.append(buffer, n);
    fclose(pFile);
    return strBytes;
}

bool WriteWholeFile(const std::wstring& strPath, const std::string& strBytes)
{
    FILE* pFile = nullptr;
    if (_wfopen_s(&pFile, strPath.c_str(), L"wb") != 0 || pFile == nullptr)
        return false;
    const bool bWritten = fwrite(strBytes.data(), 1, strBytes.size(), pFile) == strBytes.size();
    return fclose(pFile) == 0 && bWritten;
}

std::string MakeBody(size_t nBytes, uint32_t nSeed)
{
    std::string strBody(nBytes, '\0');
    uint32_t nState = nSeed * 2654435761u + 1;
    for (char& c : strBody) {
        nState ^= nState << 13;
        nState ^= nState >> 17;
        nState ^= nState << 5;
        c = static_cast<char>(nState >> 24);
    }
    return strBody;
}

bool FileIsClosed(const std::string& strPath)
{
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(hFile);
    return true;
}

void WaitForClockSecondStart()
{
    const __time64_t nStart = _time64(nullptr);
    while (_time64(nullptr) == nStart)
        Sleep(1);
}
