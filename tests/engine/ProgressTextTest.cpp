// The size, speed and percent texts, and how a refresh puts them and the bar position into real controls.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

TEST(ProgressText, LiteralsAreStoredAsGbk)
{
    EXPECT_EQ(CWorkerWindows::FormatSizeText(500), "\xCE\xC4\xBC\xFE\xB4\xF3\xD0\xA1: 500.0 B");
    EXPECT_EQ(CWorkerWindows::FormatSpeedText(0), "\xCF\xC2\xD4\xD8\xCB\xD9\xB6\xC8: 0.0 b/s");
    EXPECT_EQ(CWorkerWindows::FormatPercentText(3, 0), "\xD2\xD1\xCF\xC2\xD4\xD8 0.0 %");
}

TEST(ProgressText, SizeThresholdsAreStrictAndRoundLikeTheRuntime)
{
    struct CRow {
        int64_t nSize;
        const char* pszText;
    };
    const CRow rows[] = {
        {1048577, "文件大小: 1.0 MB"},
        {1048576, "文件大小: 1024.0 KB"},
        {1025, "文件大小: 1.0 KB"},
        {1024, "文件大小: 1024.0 B"},
        {500, "文件大小: 500.0 B"},
        {52428800, "文件大小: 50.0 MB"},
        {1280, "文件大小: 1.3 KB"},  // 1.25: msvcrt rounds half away from zero here
        {2147483647, "文件大小: 2048.0 MB"},
        {-5, "文件大小: -5.0 B"},
    };
    for (const CRow& row : rows)
        EXPECT_EQ(CWorkerWindows::FormatSizeText(row.nSize), row.pszText) << row.nSize;
}

TEST(ProgressText, SpeedUsesLowerCaseUnits)
{
    struct CRow {
        int64_t nSpeed;
        const char* pszText;
    };
    const CRow rows[] = {
        {0, "下载速度: 0.0 b/s"},
        {1536, "下载速度: 1.5 kb/s"},
        {3145728, "下载速度: 3.0 mb/s"},
        {1024, "下载速度: 1024.0 b/s"},
        {1048576, "下载速度: 1024.0 kb/s"},
    };
    for (const CRow& row : rows)
        EXPECT_EQ(CWorkerWindows::FormatSpeedText(row.nSpeed), row.pszText) << row.nSpeed;
}

TEST(ProgressText, PercentRoundsToOneDecimalAndIsEmptyBeyondTheTotal)
{
    struct CRow {
        int64_t nTotal, nDownloaded;
        const char* pszText;
    };
    const CRow rows[] = {
        {3, 1, "已下载 33.3 %"},
        {3, 2, "已下载 66.7 %"},
        {3, 3, "已下载 100.0 %"},
        {1000, 999, "已下载 99.9 %"},
        {10000, 9999, "已下载 100.0 %"},
        {12345, 0, "已下载 0.0 %"},
        {3, 4, ""},
    };
    for (const CRow& row : rows)
        EXPECT_EQ(CWorkerWindows::FormatPercentText(row.nTotal, row.nDownloaded), row.pszText)
            << row.nDownloaded << " of " << row.nTotal;
}

TEST(ProgressText, EmptyTextLeavesTheLabelAlone)
{
    CTestDisplays displays(WM_DOWNLOAD_STATUS);
    SetWindowTextW(displays.PercentLabel(), L"kept");
    EXPECT_FALSE(CWorkerWindows::SetLabelText(displays.PercentLabel(), ""));
    EXPECT_EQ(CTestDisplays::Text(displays.PercentLabel()), L"kept");
    EXPECT_FALSE(CTestDisplays::Visible(displays.PercentLabel()));

    EXPECT_TRUE(CWorkerWindows::SetLabelText(displays.PercentLabel(), "已下载 1.0 %"));
    EXPECT_EQ(CTestDisplays::Text(displays.PercentLabel()), L"已下载 1.0 %");
    EXPECT_TRUE(CTestDisplays::Visible(displays.PercentLabel()));  // hidden and shown again
}

TEST(ProgressText, RefreshTruncatesTheBarAndWritesTheSizeOncePerJob)
{
    CTestDisplays displays(WM_DOWNLOAD_STATUS);
    CWorkerWindows windows;
    CTransferCounters counters;
    Bind(windows, displays);
    SendMessageW(displays.Progress(), PBM_SETRANGE, 0, MAKELPARAM(0, 100));

    struct CRow {
        int64_t nDownloaded;
        int nBar;
        const wchar_t* pszPercent;
    };
    const CRow rows[] = {{0, 0, L"已下载 0.0 %"}, {1, 33, L"已下载 33.3 %"}, {2, 66, L"已下载 66.7 %"},
                         {3, 100, L"已下载 100.0 %"}};
    counters.m_nTotalSize = 3;
    counters.m_nSpeed = 1536;
    for (const CRow& row : rows) {
        counters.m_nDownloaded = row.nDownloaded;
        windows.Refresh(counters);
        EXPECT_EQ(displays.Position(), row.nBar);
        EXPECT_EQ(CTestDisplays::Text(displays.PercentLabel()), row.pszPercent);
        EXPECT_EQ(CTestDisplays::Text(displays.SpeedLabel()), L"下载速度: 1.5 kb/s");
    }
    EXPECT_EQ(displays.m_sizeTexts, std::vector<std::wstring>{L"文件大小: 3.0 B"});

    // A job whose percent would exceed 100 keeps the previous percent text; its size, once written, stays.
    counters.m_nTotalSize = 999999;
    counters.m_nDownloaded = 9999999;
    windows.Refresh(counters);
    EXPECT_EQ(CTestDisplays::Text(displays.PercentLabel()), L"已下载 100.0 %");
    EXPECT_EQ(CTestDisplays::Text(displays.SizeLabel()), L"文件大小: 3.0 B");

    // The next job's labels are emptied, so its first refresh writes its own size.
    windows.SetLabels(displays.PercentLabel(), displays.SizeLabel(), displays.SpeedLabel());
    EXPECT_EQ(CTestDisplays::Text(displays.SizeLabel()), L"");
    counters.m_nDownloaded = 0;
    windows.Refresh(counters);
    EXPECT_EQ(CTestDisplays::Text(displays.SizeLabel()), L"文件大小: 976.6 KB");
}

TEST(ProgressText, RefreshLeavesOutWhatTheScreenAlreadyShows)
{
    CTestDisplays displays(WM_DOWNLOAD_STATUS);
    CWorkerWindows windows;
    CTransferCounters counters;
    Bind(windows, displays);
    counters.m_nTotalSize = 1000;
    counters.m_nSpeed = 100;
    counters.m_nDownloaded = 0;
    windows.Refresh(counters);  // everything is new: the bar and the three labels

    struct CRow {
        const char* pszName;
        int64_t nDownloaded, nSpeed;
        size_t nPositions, nPercentTexts, nSpeedTexts;  // calls that reached the controls, counted from the start
    };
    const CRow rows[] = {
        {"nothing changed", 0, 100, 1, 1, 1},
        {"percent text only", 5, 100, 1, 2, 1},
        {"bar and percent", 10, 100, 2, 3, 1},
        {"speed only", 10, 200, 2, 3, 2},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        counters.m_nDownloaded = row.nDownloaded;
        counters.m_nSpeed = row.nSpeed;
        windows.Refresh(counters);
        EXPECT_EQ(displays.m_positions.size(), row.nPositions);
        EXPECT_EQ(displays.m_percentTexts.size(), row.nPercentTexts);
        EXPECT_EQ(displays.m_speedTexts.size(), row.nSpeedTexts);
        EXPECT_EQ(displays.m_sizeTexts.size(), 1u);
        // The first refresh shows the three labels (they start hidden); each later text hides and shows its label.
        EXPECT_EQ(displays.m_visibilityChanges.size(), 3 + 2 * (row.nPercentTexts + row.nSpeedTexts - 2));
    }
}

TEST(ProgressText, SetLabelsIgnoresAnIncompleteSet)
{
    CTestDisplays displays(WM_DOWNLOAD_STATUS);
    CWorkerWindows windows;
    SetWindowTextW(displays.SizeLabel(), L"kept");
    windows.SetLabels(displays.PercentLabel(), nullptr, displays.SpeedLabel());
    EXPECT_EQ(windows.Displays().hPercentLabel, nullptr);
    EXPECT_EQ(windows.Displays().hSpeedLabel, nullptr);
    EXPECT_EQ(CTestDisplays::Text(displays.SizeLabel()), L"kept");
}

TEST(ProgressText, NoWindowCallsOnceTheNotifyWindowIsGone)
{
    CTestDisplays displays(WM_DOWNLOAD_STATUS);
    CWorkerWindows windows;
    CTransferCounters counters;
    const HWND hGone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    windows.Set(hGone, DisplaysOf(displays));
    DestroyWindow(hGone);
    counters.m_nTotalSize = 10;
    windows.Refresh(counters);
    EXPECT_TRUE(displays.m_positions.empty());
    EXPECT_TRUE(displays.m_percentTexts.empty());
}
