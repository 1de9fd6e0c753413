// The download folder before a download starts: the default folder, the chooser, validation and creation.
#include "DownloadFolder.h"

#include "PathHelpers.h"
#include "TextConversion.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <direct.h>
#include <io.h>

#include <cstring>
#include <vector>

namespace {
constexpr char kDriveMarker[] = ":\\";
constexpr UINT kChooserFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
}

std::string GetDefaultDownloadFolder()
{
    char buffer[MAX_PATH + 1] = {};
    SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_DESKTOPDIRECTORY, FALSE);
    return buffer;
}

std::string ChooseDownloadFolder()
{
    // The chooser's new dialog style hosts shell objects and needs COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    BROWSEINFOW info = {};
    info.ulFlags = kChooserFlags;
    std::wstring chosen;
    if (PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(items, path))
            chosen = path;
        CoTaskMemFree(items);
    }

    if (SUCCEEDED(com))
        CoUninitialize();
    return WideToAnsi(chosen);
}

void CreateDirectories(char* path)
{
    if (path == nullptr || *path == '\0')
        return;
    const std::string_view text(path, std::strlen(path));
    for (size_t pos = 0; pos < text.size(); pos = NextCharOffset(text, pos)) {
        if (path[pos] != '\\')
            continue;
        path[pos] = '\0';
        if (_access(path, 0) != 0)
            _mkdir(path);
        path[pos] = '\\';
    }
}

bool PrepareDownloadFolder(const std::string& path)
{
    const size_t marker = FindAtCharBoundary(path, kDriveMarker);
    if (marker != std::string::npos && marker > 0 && !PathExists(path)) {
        const std::string withSeparator = EnsureTrailingSeparator(path);
        std::vector<char> writable(withSeparator.begin(), withSeparator.end());
        writable.push_back('\0');
        CreateDirectories(writable.data());
    }
    return PathExists(path) && AnsiToWide(path) != kFolderPrompt;
}
