// The progress bar's pixels: frame rings, inner rectangle, fill by range and position, orientation, no erase,
// partial repaints.
#include "ControlHost.h"
#include "ProgressCtrlEx.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kBar = RGB(34, 164, 255);
constexpr COLORREF kBack = RGB(200, 200, 200);  // unlike the inner ring, so the inner rectangle shows
constexpr COLORREF kOuter = RGB(43, 51, 85);
constexpr COLORREF kInner = RGB(28, 34, 57);

// A borderless bar window of the given paint rectangle, skinned as the main window skins its bar.
struct CBar {
    CProgressCtrlEx bar;
    CControlHost host{bar, PROGRESS_CLASSW, 0};

    explicit CBar(int width, int height, DWORD extraStyle = 0)
    {
        host.Open();
        bar.ModifyStyle(0, extraStyle);
        bar.m_clrBar = kBar;
        bar.m_clrBack = kBack;
        bar.m_rcPaint = {0, 0, width, height};
        bar.MoveWindow(bar.m_rcPaint);
        bar.SetRange(0, 100);
    }
    wintest::CPixels Show(int pos)
    {
        bar.SetPos(pos);
        bar.Invalidate(FALSE);
        bar.UpdateWindow();
        wintest::PumpFor(10);
        return wintest::CaptureClient(bar);
    }
};

}  // namespace

TEST(ProgressCtrlEx, WorkedExamplePixels)
{
    struct Row {
        int pos;
        int fillEnd;  // first x after the fill
    };
    CBar b(494, 10);
    for (Row row : {Row{50, 247}, Row{33, 2 + 161}, Row{100, 492}, Row{0, 2}}) {
        wintest::CPixels px = b.Show(row.pos);
        ASSERT_EQ(px.width, 494);
        ASSERT_EQ(px.height, 10);
        EXPECT_EQ(px.Count(kOuter, 0, 0, 494, 10), 2 * 494 + 2 * 8) << row.pos;  // the outer ring, 1 px
        EXPECT_EQ(px.Count(kInner, 1, 1, 493, 9), 2 * 492 + 2 * 6) << row.pos;   // the inner ring, 1 px
        EXPECT_EQ(px.Count(kBar, 2, 2, 492, 8), (row.fillEnd - 2) * 6) << row.pos;
        EXPECT_EQ(px.Count(kBack, 2, 2, 492, 8), (492 - row.fillEnd) * 6) << row.pos;
        if (row.fillEnd > 2) {
            EXPECT_EQ(px.At(row.fillEnd - 1, 5), kBar);
        }
        if (row.pos == 50)
            wintest::SaveScreenshot(px, "progress-50");
    }
}

TEST(ProgressCtrlEx, VerticalBarFillsUpward)
{
    CBar b(10, 100, PBS_VERTICAL);
    wintest::CPixels px = b.Show(25);
    const int fillRows = 96 / 4;
    EXPECT_EQ(px.Count(kBar, 2, 98 - fillRows, 8, 98), 6 * fillRows);
    EXPECT_EQ(px.Count(kBack, 2, 2, 8, 98 - fillRows), 6 * (96 - fillRows));
}

TEST(ProgressCtrlEx, EmptyRangeShowsNoFill)
{
    CBar b(494, 10);
    b.bar.SetRange(5, 5);
    wintest::CPixels px = b.Show(5);
    EXPECT_EQ(px.Count(kBar, 0, 0, 494, 10), 0);
    EXPECT_EQ(px.Count(kBack, 2, 2, 492, 8), 490 * 6);
}

TEST(ProgressCtrlEx, EraseDrawsNothing)
{
    CBar b(494, 10);
    HDC hDC = CreateCompatibleDC(nullptr);
    HBITMAP hTarget = wintest::MakeSolidBitmap(494, 10, RGB(1, 2, 3));
    HGDIOBJ previous = SelectObject(hDC, hTarget);
    EXPECT_NE(b.bar.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC)), 0);
    EXPECT_EQ(GetPixel(hDC, 0, 0), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(hDC, 100, 5), RGB(1, 2, 3));
    SelectObject(hDC, previous);
    DeleteObject(hTarget);
    DeleteDC(hDC);
}

TEST(ProgressCtrlEx, PartialInvalidationRepaintsExactlyThatPartFromACompleteImage)
{
    CBar b(494, 10);
    b.Show(50);
    constexpr COLORREF kNewBar = RGB(250, 20, 20);
    b.bar.m_clrBar = kNewBar;  // takes effect at the next paint, wherever that paints
    RECT part = {100, 0, 150, 10};
    b.bar.InvalidateRect(&part, FALSE);
    b.bar.UpdateWindow();
    wintest::PumpFor(10);
    wintest::CPixels px = wintest::CaptureClient(b.bar);
    EXPECT_EQ(px.Count(kNewBar, 100, 2, 150, 8), 50 * 6);
    EXPECT_EQ(px.Count(kOuter, 100, 0, 150, 1), 50);  // the frame of the whole image, not of the part
    EXPECT_EQ(px.Count(kBar, 2, 2, 100, 8), 98 * 6);
    EXPECT_EQ(px.Count(kBar, 150, 2, 247, 8), 97 * 6);
}

TEST(ProgressCtrlEx, PositionChangeRepaintsAndTallBarShowsItsCaption)
{
    CBar b(359, 25);
    b.bar.SetPos(80);
    wintest::PumpFor(50);
    wintest::CPixels px = wintest::CaptureClient(b.bar);
    EXPECT_EQ(px.At(2 + 355 * 80 / 100 - 1, 3), kBar);
    EXPECT_GT(px.Count(RGB(0, 0, 0), 2, 2, 357, 23), 0);  // "80% " in m_clrText
    wintest::CPixels slim = CBar(494, 10).Show(80);
    EXPECT_EQ(slim.Count(RGB(0, 0, 0), 0, 0, 494, 10), 0);
    EXPECT_STREQ(b.bar.GetRuntimeClass()->m_lpszClassName, "CProgressCtrlEx");
    EXPECT_TRUE(b.bar.IsKindOf(&CProgressCtrl::classCProgressCtrl));
}
