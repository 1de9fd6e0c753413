// The bitmap button on real windows: image choice, owner-draw style, sizing, hover tracking, reloading.
#include "BitmapButtonEx.h"
#include "ControlHost.h"
#include "MemoryDC.h"
#include "TestImages.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kNormal = RGB(200, 40, 40);
constexpr COLORREF kPressed = RGB(40, 200, 40);
constexpr COLORREF kHover = RGB(40, 40, 200);
constexpr COLORREF kDisabled = RGB(200, 200, 40);
constexpr COLORREF kAltNormal = RGB(120, 0, 120);
constexpr COLORREF kUntouched = RGB(1, 2, 3);

class CTestButton : public CBitmapButtonEx {
public:
    using CBitmapButtonEx::DrawItem;
};

class CCountingButton : public CBitmapButtonEx {
public:
    int m_nPaints = 0;

protected:
    void DrawItem(DRAWITEMSTRUCT* pItem) override
    {
        ++m_nPaints;
        CBitmapButtonEx::DrawItem(pItem);
    }
};

COLORREF ShownAt(HWND hWnd, int x = 5, int y = 5)
{
    return wintest::CaptureClient(hWnd).At(x, y);
}

void Repaint(HWND hWnd)
{
    InvalidateRect(hWnd, nullptr, FALSE);
    UpdateWindow(hWnd);
    wintest::PumpFor(20);
}

// A hosted push button with the normal, pressed and hover test images, sized to them, the pointer outside it.
template <class TButton>
struct CShownButton {
    TButton button;
    CControlHost host{button, L"BUTTON", BS_PUSHBUTTON};

    CShownButton()
    {
        host.Open();
        wintest::MoveMouseTo(20, 20, 0);  // outside everything
        button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_PRESSED, IDB_TEST_HOVER);
        button.SizeToContent();
    }
};

}  // namespace

TEST(BitmapButtonEx, ImageChoiceOrderFallsThroughMissingImages)
{
    struct Row {
        UINT selected, focus, disabled;
        UINT state;
        BOOL hover;
        COLORREF expected;
    };
    const UINT all[] = {IDB_TEST_PRESSED, IDB_TEST_HOVER, IDB_TEST_DISABLED};
    const Row rows[] = {
        {all[0], all[1], all[2], ODS_SELECTED | ODS_DISABLED, TRUE, kPressed},
        {all[0], all[1], all[2], ODS_DISABLED, TRUE, kDisabled},
        {all[0], all[1], all[2], 0, TRUE, kHover},
        {all[0], all[1], all[2], ODS_FOCUS, FALSE, kNormal},  // the focus is never drawn
        {0, 0, 0, ODS_SELECTED | ODS_DISABLED | ODS_FOCUS, TRUE, kNormal},
        {0, all[1], 0, ODS_SELECTED, TRUE, kHover},
        {all[0], all[1], 0, ODS_DISABLED, TRUE, kHover},
        {all[0], all[1], 0, ODS_DISABLED, FALSE, kNormal},
    };
    CMemoryDC dc(nullptr);
    HBITMAP hTarget = wintest::MakeSolidBitmap(40, 20, kUntouched);
    HGDIOBJ previous = SelectObject(dc, hTarget);
    for (const Row& row : rows) {
        CTestButton button;
        EXPECT_TRUE(button.LoadBitmaps(IDB_TEST_NORMAL, row.selected, row.focus, row.disabled));
        button.m_bHover = row.hover;
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_BUTTON;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = row.state;
        item.hDC = dc;
        item.rcItem = {0, 0, 40, 20};
        button.DrawItem(&item);
        EXPECT_EQ(GetPixel(dc, 39, 19), row.expected) << "state " << row.state << " hover " << row.hover;
    }
    CTestButton empty;  // no normal image: nothing is drawn
    DRAWITEMSTRUCT item = {};
    item.hDC = dc;
    item.rcItem = {0, 0, 40, 20};
    RECT all20 = {0, 0, 40, 20};
    HBRUSH hUntouched = CreateSolidBrush(kUntouched);
    FillRect(dc, &all20, hUntouched);
    DeleteObject(hUntouched);
    empty.DrawItem(&item);
    EXPECT_EQ(GetPixel(dc, 5, 5), kUntouched);
    SelectObject(dc, previous);
    DeleteObject(hTarget);
}

TEST(BitmapButtonEx, LoadReportsMissingImagesAndRunTimeClassIsQueryable)
{
    CBitmapButtonEx button;
    EXPECT_FALSE(button.LoadBitmaps(IDB_TEST_MISSING, IDB_TEST_PRESSED));
    EXPECT_FALSE(button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_MISSING));
    EXPECT_TRUE(button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_PRESSED, IDB_TEST_HOVER));
    EXPECT_STREQ(button.GetRuntimeClass()->m_lpszClassName, "CBitmapButtonEx");
    EXPECT_TRUE(button.IsKindOf(&CBitmapButton::classCBitmapButton));
    EXPECT_TRUE(button.IsKindOf(&CButton::classCButton));
}

TEST(BitmapButtonEx, SubclassingMakesItOwnerDrawnAndSizeToContentTakesTheNormalImage)
{
    for (DWORD templateType : {static_cast<DWORD>(BS_PUSHBUTTON), static_cast<DWORD>(BS_DEFPUSHBUTTON)}) {
        CBitmapButtonEx button;
        CControlHost host(button, L"BUTTON", templateType);
        host.Open();
        EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
        EXPECT_TRUE(button.GetStyle() & WS_TABSTOP);
        RECT before;
        button.GetWindowRect(&before);
        button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_PRESSED, IDB_TEST_HOVER);
        button.SizeToContent();
        RECT after;
        button.GetWindowRect(&after);
        EXPECT_EQ(after.left, before.left);
        EXPECT_EQ(after.top, before.top);
        EXPECT_EQ(after.right - after.left, 40);
        EXPECT_EQ(after.bottom - after.top, 20);
    }
}

TEST(BitmapButtonEx, HoverTrackingAsksOnceAndInvalidatesOncePerEntry)
{
    CShownButton<CCountingButton> shown;
    CCountingButton& button = shown.button;
    Repaint(button);
    EXPECT_EQ(ShownAt(button), kNormal);

    RECT rc;
    button.GetWindowRect(&rc);
    for (int entry = 0; entry < 2; ++entry) {
        const int paintsBefore = button.m_nPaints;
        wintest::MoveMouseTo(rc.left + 10, rc.top + 10, 0);
        ASSERT_TRUE(wintest::PumpUntil([&] { return button.m_bHover == TRUE; }));
        UpdateWindow(button);
        EXPECT_EQ(ShownAt(button), kHover);
        EXPECT_EQ(button.m_nPaints, paintsBefore + 1);

        wintest::MoveMouseTo(rc.left + 20, rc.top + 12);  // further moves inside: no new request or paint
        wintest::MoveMouseTo(rc.left + 25, rc.top + 8);
        EXPECT_EQ(button.m_nPaints, paintsBefore + 1);
        TRACKMOUSEEVENT query = {sizeof query, TME_QUERY, nullptr, 0};
        TrackMouseEvent(&query);
        EXPECT_TRUE(query.dwFlags & TME_LEAVE);
        EXPECT_EQ(query.hwndTrack, button.m_hWnd);

        wintest::MoveMouseTo(rc.right + 60, rc.bottom + 60, 0);
        ASSERT_TRUE(wintest::PumpUntil([&] { return button.m_bHover == FALSE; }, 3000));
        UpdateWindow(button);
        EXPECT_EQ(ShownAt(button), kNormal);
    }
}

TEST(BitmapButtonEx, WindowDestroyedWhileHoveredLeavesTheNextBindingOutOfHover)
{
    CBitmapButtonEx button;
    {
        CControlHost host(button, L"BUTTON", BS_PUSHBUTTON);
        host.Open();
        button.m_bHover = TRUE;  // the pointer was over it when its dialog closed: no leave notice comes
    }
    CControlHost host(button, L"BUTTON", BS_PUSHBUTTON);
    host.Open();
    EXPECT_EQ(button.m_bHover, FALSE);
}

TEST(BitmapButtonEx, PressedThenDisabledStatesComeFromThePlatform)
{
    CShownButton<CBitmapButtonEx> shown;
    CBitmapButtonEx& button = shown.button;
    button.SendMessage(BM_SETSTATE, TRUE);
    Repaint(button);
    EXPECT_EQ(ShownAt(button), kPressed);
    button.SendMessage(BM_SETSTATE, FALSE);
    button.SetFocus();  // the focus changes nothing on screen
    Repaint(button);
    EXPECT_EQ(ShownAt(button), kNormal);
    button.EnableWindow(FALSE);  // no disabled image: normal, or hover while hovered
    Repaint(button);
    EXPECT_EQ(ShownAt(button), kNormal);
    button.m_bHover = TRUE;
    Repaint(button);
    EXPECT_EQ(ShownAt(button), kHover);
}

TEST(BitmapButtonEx, ReloadedImagesShowOnlyAtTheNextRepaintAndKeepTheSize)
{
    CShownButton<CBitmapButtonEx> shown;
    CBitmapButtonEx& button = shown.button;
    Repaint(button);
    wintest::SaveScreenshot(wintest::CaptureClient(shown.host), "bitmap-button");
    EXPECT_TRUE(button.LoadBitmaps(IDB_TEST_ALT_NORMAL, IDB_TEST_ALT_PRESSED));
    wintest::PumpFor(50);
    EXPECT_EQ(ShownAt(button), kNormal);
    Repaint(button);
    EXPECT_EQ(ShownAt(button), kAltNormal);
    RECT rc;
    button.GetWindowRect(&rc);
    EXPECT_EQ(rc.right - rc.left, 40);
    EXPECT_EQ(rc.bottom - rc.top, 20);
}
