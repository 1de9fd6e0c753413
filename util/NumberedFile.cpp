// Creating the file a download writes: a name of its own in its folder, never another program's file.
#include "NumberedFile.h"

#include "PathHelpers.h"
#include "TextConversion.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {

// One try per numbered name and one for the plain name; more only when names keep appearing under our feet.
constexpr int kMaxTries = 100;

// The handle becomes the stream's, which closes it; on failure it is closed here. nullptr for no handle.
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

FILE* CreateForWriting(const std::string& strPath, DWORD dwDisposition)
{
    return StreamOf(CreateFileW(AnsiToWide(strPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, dwDisposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

FILE* CreateNumberedFile(const std::string& strFolder, const std::string& strName, std::string& strPath)
{
    strPath = MakeUniqueFilePath(strFolder, strName);
    for (int nTry = 0; nTry < kMaxTries && !strPath.empty(); ++nTry) {
        if (FILE* pFile = CreateForWriting(strPath, CREATE_NEW))
            return pFile;
        const DWORD dwError = GetLastError();
        if (dwError != ERROR_FILE_EXISTS && dwError != ERROR_ALREADY_EXISTS)
            return nullptr;
        const std::string strNext = MakeUniqueFilePath(strFolder, strName);
        if (strNext == strPath)  // every name is taken: the last one is overwritten
            return CreateForWriting(strPath, CREATE_ALWAYS);
        strPath = strNext;
    }
    return nullptr;
}
