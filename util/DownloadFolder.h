// The download folder before a download starts: the default folder, the chooser, validation and creation.
#pragma once

#include <string>

// The wide text the path box shows when there is no default folder; never a valid folder.
inline constexpr wchar_t kFolderPrompt[] = L"请选择下载路径";

// The user's desktop folder as the shell reports it (no trailing separator), or empty. Creates nothing.
std::string GetDefaultDownloadFolder();

// The shell's folder chooser, unowned; the chosen file-system folder, or empty when cancelled.
std::string ChooseDownloadFolder();

// Creates every missing folder named by a prefix of path that ends at a backslash; the component
// after the last backslash is not created. The text is cut and restored in place, so it is unchanged afterwards.
void CreateDirectories(char* path);

// Creates a missing folder that names a drive (every level of it), then reports whether the path
// exists and is not the folder prompt. The path itself is not changed.
bool PrepareDownloadFolder(const std::string& path);
