// Creating the file a download writes, exclusively, as a C runtime stream.
#include "TargetFile.h"

#include "PathHelpers.h"
#include "TextConversion.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {

// One try per numbered name and one for the plain name; more only when names keep appearing under our feet.
constexpr int kMaxTries = 100;

// The folder part of a path, with its trailing separator; empty when the path has none.
std::string FolderOf(const std::string& strPath)
{
    size_t nEnd = 0;
    for (size_t pos = 0; pos < strPath.size(); pos = NextCharOffset(strPath, pos)) {
        if (strPath[pos] == '\\' || strPath[pos] == '/')
            nEnd = pos + 1;
    }
    return strPath.substr(0, nEnd);
}

HANDLE CreateForWriting(const std::string& strPath, DWORD dwDisposition)
{
    // Readers may look on while it is written; nobody may write, rename or delete it meanwhile.
    return CreateFileW(AnsiToWide(strPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, dwDisposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

FILE* StreamOf(HANDLE hFile)
{
    if (hFile == INVALID_HANDLE_VALUE)
        return nullptr;
    const int nDescriptor = _open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_BINARY | _O_WRONLY);
    if (nDescriptor == -1) {
        CloseHandle(hFile);
        return nullptr;
    }
    FILE* pFile = _fdopen(nDescriptor, "wb");
    if (pFile == nullptr)
        _close(nDescriptor);  // closes the handle too
    return pFile;
}

}  // namespace

FILE* CreateTargetFile(std::string& strPath, const char* pszName)
{
    const std::string strFolder = FolderOf(strPath);
    for (int nTry = 0; nTry < kMaxTries; ++nTry) {
        const HANDLE hFile = CreateForWriting(strPath, CREATE_NEW);
        if (hFile != INVALID_HANDLE_VALUE)
            return StreamOf(hFile);
        const DWORD dwError = GetLastError();
        if (dwError != ERROR_FILE_EXISTS && dwError != ERROR_ALREADY_EXISTS)
            return nullptr;
        const std::string strNext = MakeUniqueFilePath(strFolder, pszName);
        if (strNext.empty() || strNext == strPath)  // every name is taken: the last one is overwritten
            return StreamOf(CreateForWriting(strPath, CREATE_ALWAYS));
        strPath = strNext;
    }
    return nullptr;
}
