// The download folder: default, chooser, creation level by level and the check before a download.
#include "DownloadFolder.h"
#include "PathHelpers.h"
#include "TestEnvironment.h"
#include "TextConversion.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

namespace {

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Names directly inside folder (which ends in a separator).
std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA data = {};
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.insert(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

}  // namespace

TEST(DownloadFolder, DefaultIsTheDesktopWithoutSeparator)
{
    const std::string folder = GetDefaultDownloadFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_FALSE(EndsWithSeparator(folder)) << folder;
    EXPECT_TRUE(IsFolder(folder)) << folder;
    EXPECT_EQ(folder.substr(folder.size() - 8), "\\Desktop") << folder;
}

TEST(DownloadFolder, CreateDirectoriesMakesEveryLevelButTheLastAndRestoresTheText)
{
    const std::string root = testenv::MakeScratchFolder("mkdirs");
    std::string path = root + "a\\b\\c";
    CreateDirectories(path.data());
    EXPECT_EQ(path, root + "a\\b\\c");
    EXPECT_TRUE(IsFolder(root + "a"));
    EXPECT_TRUE(IsFolder(root + "a\\b"));
    EXPECT_FALSE(PathExists(root + "a\\b\\c"));

    CreateDirectories(nullptr);
    char empty[] = "";
    CreateDirectories(empty);
}

TEST(DownloadFolder, MissingFolderOnADriveIsCreatedLevelByLevel)
{
    const std::string root = testenv::MakeScratchFolder("prepare");
    const std::string folder = root + "a\\b\\c";
    ASSERT_NE(root.find(":\\"), std::string::npos);
    EXPECT_TRUE(PrepareDownloadFolder(folder));
    EXPECT_TRUE(IsFolder(root + "a"));
    EXPECT_TRUE(IsFolder(root + "a\\b"));
    EXPECT_TRUE(IsFolder(folder));
    // Already there (with or without the separator): accepted again.
    EXPECT_TRUE(PrepareDownloadFolder(folder + "\\"));
}

// 誠 is D5 5C in GBK: a byte scan would take its trail byte for a separator and make a stray folder.
TEST(DownloadFolder, DoubleByteCharacterWithBackslashTrailByteIsNotASeparator)
{
    struct Case { const char* relative; const char* firstLevel; };
    const Case cases[] = {
        {"x誠", "x誠"},
        {"誠\\sub", "誠"},
        {"下载\\誠誠\\y", "下载"},
    };
    for (const Case& c : cases) {
        const std::string root = testenv::MakeScratchFolder("gbk");
        EXPECT_TRUE(PrepareDownloadFolder(root + c.relative)) << c.relative;
        EXPECT_TRUE(IsFolder(root + c.relative)) << c.relative;
        EXPECT_EQ(Entries(root), std::set<std::string>{c.firstLevel}) << c.relative;
    }
}

TEST(DownloadFolder, RefusedPathsCreateNothing)
{
    const std::string root = testenv::MakeScratchFolder("refuse");
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));

    // No drive marker: a relative folder is never created.
    EXPECT_FALSE(PrepareDownloadFolder("dl\\new"));
    // Only backslashes split: "new/sub" is one component whose parent does not exist.
    EXPECT_FALSE(PrepareDownloadFolder(root + "new/sub"));
    // A drive marker at the very start does not count.
    EXPECT_FALSE(PrepareDownloadFolder(":\\odd"));
    EXPECT_FALSE(PrepareDownloadFolder(""));
    // A character outside the code page is no look-alike: "v²" is not the existing "v2", and no "à" is made
    // for "À".
    ASSERT_TRUE(CreateDirectoryA((root + "v2").c_str(), nullptr));
    EXPECT_FALSE(PrepareDownloadFolder(WideToAnsi(AnsiToWide(root) + L"v\u00b2")));
    EXPECT_FALSE(PrepareDownloadFolder(WideToAnsi(AnsiToWide(root) + L"\u00c0\\new")));
    EXPECT_EQ(Entries(root), std::set<std::string>{"v2"});
}

TEST(DownloadFolder, FolderPromptIsRefusedEvenWhenSuchAFolderExists)
{
    const std::string root = testenv::MakeScratchFolder("prompt");
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    const std::string prompt = WideToAnsi(kFolderPrompt);
    ASSERT_TRUE(CreateDirectoryA(prompt.c_str(), nullptr));
    EXPECT_TRUE(PathExists(prompt));
    EXPECT_FALSE(PrepareDownloadFolder(prompt));
}

TEST(DownloadFolder, ExistingFileOrRelativeFolderPassesOnExistenceAlone)
{
    const std::string root = testenv::MakeScratchFolder("exists");
    const std::string file = root + "TarnvikBrowser.exe";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(PrepareDownloadFolder(file));

    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    ASSERT_TRUE(CreateDirectoryA("rel", nullptr));
    EXPECT_TRUE(PrepareDownloadFolder("rel"));
}

namespace {

BOOL CALLBACK FindVisibleDialog(HWND wnd, LPARAM param)
{
    wchar_t cls[32] = {};
    GetClassNameW(wnd, cls, 32);
    if (IsWindowVisible(wnd) && wcscmp(cls, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(param) = wnd;
        return FALSE;
    }
    return TRUE;
}

// The text of the chooser's selected tree item (the folder's display name), empty when there is none.
std::wstring SelectedTreeItemText(HWND chooser)
{
    HWND tree = FindWindowExW(chooser, nullptr, WC_TREEVIEWW, nullptr);
    for (HWND child = nullptr; !tree && (child = FindWindowExW(chooser, child, nullptr, nullptr));)
        tree = FindWindowExW(child, nullptr, WC_TREEVIEWW, nullptr);
    const auto item = tree ? reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) : nullptr;
    if (!item)
        return {};
    wchar_t text[MAX_PATH] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

// Runs the chooser on this thread while a helper finds its window on this thread and acts on it.
template <typename Act>
std::string RunChooser(Act act)
{
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread helper([&] {
        for (int i = 0; i < 200 && !done; ++i) {
            HWND found = nullptr;
            EnumThreadWindows(uiThread, FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
            if (found) {
                EXPECT_EQ(GetWindow(found, GW_OWNER), nullptr) << "the chooser has no owner";
                act(found);
                return;
            }
            Sleep(50);
        }
        ADD_FAILURE() << "the folder chooser did not appear";
    });
    const std::string result = ChooseDownloadFolder();
    done = true;
    helper.join();
    return result;
}

}  // namespace

TEST(DownloadFolder, CancelledChooserGivesNothing)
{
    const std::string chosen = RunChooser([](HWND chooser) { PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(chosen, "");
}

TEST(DownloadFolder, ChooserGivesTheSelectedFolderWithoutSeparator)
{
    const std::string root = testenv::MakeScratchFolder("choose");
    const std::string folder = root + "誠";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::wstring wide = AnsiToWide(folder);
    const std::string chosen = RunChooser([&](HWND chooser) {
        // The chooser fills its tree after it shows and then selects its start folder, which can undo an early
        // selection: select until the tree's current item is the folder, then answer OK.
        for (int i = 0; i < 50 && SelectedTreeItemText(chooser) != L"誠"; ++i) {
            SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
            Sleep(100);
        }
        PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(chosen, folder);
    EXPECT_EQ(EnsureTrailingSeparator(chosen), folder + "\\");
}
