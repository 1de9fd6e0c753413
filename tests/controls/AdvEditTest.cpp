// The path edit box: geometry and font, the hint life cycle, narrow path text, the erase-time frame, hover.
#include "AdvEdit.h"
#include "ControlHost.h"
#include "TextConversion.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kHint[] = L"请选择下载路径";

struct CBox {
    CAdvEdit edit;
    CControlHost host{edit, L"EDIT", ES_AUTOHSCROLL};

    CBox()
    {
        host.Open();
        FocusOut();  // the dialog gave the first tab stop, the box, the focus
        edit.m_strHint = kHint;
        edit.SetWindowTextW(kHint);
    }
    void FocusIn() { edit.SetFocus(); }
    void FocusOut() { ::SetFocus(::GetDlgItem(host, CControlHost::kOtherId)); }
    void Type(wchar_t ch) { edit.SendMessage(WM_CHAR, ch, 1); }
    void DeleteAll()
    {
        edit.SetSel(0, -1);
        edit.SendMessage(WM_KEYDOWN, VK_DELETE, 1);
    }
    // The text colour the box asks the platform to use.
    COLORREF TextColour()
    {
        HDC hDC = GetDC(host);
        host.SendMessage(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(hDC), reinterpret_cast<LPARAM>(edit.m_hWnd));
        COLORREF colour = GetTextColor(hDC);
        ReleaseDC(host, hDC);
        return colour;
    }
};

constexpr COLORREF kHintColour = RGB(210, 210, 210);
constexpr COLORREF kTextColour = RGB(255, 255, 255);

}  // namespace

TEST(AdvEdit, SubclassingAppliesTheFontAndTheSize)
{
    CBox box;
    RECT rc;
    box.edit.GetWindowRect(&rc);
    EXPECT_EQ(rc.right - rc.left, 324);
    EXPECT_EQ(rc.bottom - rc.top, 24);
    LOGFONTW logFont = {};
    ASSERT_EQ(box.edit.GetFont(), box.edit.m_font.GetSafeHandle());
    GetObjectW(box.edit.GetFont(), sizeof logFont, &logFont);
    EXPECT_STREQ(logFont.lfFaceName, L"微软雅黑");
    HDC hScreen = GetDC(nullptr);
    EXPECT_EQ(logFont.lfHeight, -MulDiv(95, GetDeviceCaps(hScreen, LOGPIXELSY), 720));
    ReleaseDC(nullptr, hScreen);
}

TEST(AdvEdit, HintLifeCycle)
{
    CBox box;
    EXPECT_EQ(box.TextColour(), kHintColour);
    box.FocusIn();
    EXPECT_EQ(box.edit.GetWindowTextW(), L"");
    EXPECT_EQ(box.TextColour(), kHintColour);
    box.FocusOut();
    EXPECT_EQ(box.edit.GetWindowTextW(), kHint);

    box.FocusIn();
    box.Type(L'a');
    EXPECT_EQ(box.edit.GetWindowTextW(), L"a");
    EXPECT_FALSE(box.edit.m_bShowingHint);
    EXPECT_EQ(box.TextColour(), kTextColour);
    box.Type(VK_BACK);
    EXPECT_EQ(box.edit.GetWindowTextW(), L"");
    EXPECT_EQ(box.TextColour(), kHintColour);
    box.FocusOut();
    EXPECT_EQ(box.edit.GetWindowTextW(), kHint);
    wintest::SaveScreenshot(wintest::CaptureClient(box.host), "path-box-hint");
}

TEST(AdvEdit, DeletingAShownPathBringsTheHintBackOnlyAfterTyping)
{
    for (bool typedFirst : {false, true}) {
        CBox box;
        box.edit.SetPathText("C:\\Users\\Public");
        EXPECT_FALSE(box.edit.m_bShowingHint);
        box.FocusIn();
        EXPECT_EQ(box.edit.GetWindowTextW(), L"C:\\Users\\Public");
        if (typedFirst)
            box.Type(L'x');
        box.DeleteAll();
        EXPECT_EQ(box.edit.GetWindowTextW(), L"");
        box.FocusOut();
        EXPECT_EQ(box.edit.GetWindowTextW(), typedFirst ? std::wstring(kHint) : std::wstring()) << typedFirst;
    }
}

TEST(AdvEdit, PathTextIsNarrowAndIncludesTheHint)
{
    CBox box;
    EXPECT_EQ(box.edit.GetPathText(), "请选择下载路径");  // GBK bytes, as the rest of the program reads it
    box.edit.SetPathText("");
    EXPECT_EQ(box.edit.GetWindowTextW(), kHint);
    EXPECT_TRUE(box.edit.m_bShowingHint);
    box.edit.SetPathText("D:\\下载\\");
    EXPECT_EQ(box.edit.GetWindowTextW(), L"D:\\下载\\");
    EXPECT_EQ(box.edit.GetPathText(), "D:\\下载\\");
    EXPECT_EQ(box.TextColour(), kTextColour);
    box.edit.SetPathText("");
    EXPECT_EQ(box.edit.GetPathText(), "D:\\下载\\");
    EXPECT_FALSE(box.edit.m_bShowingHint);
}

TEST(AdvEdit, EraseDrawsTheFrameByHoverState)
{
    CBox box;
    constexpr COLORREF kFill = RGB(1, 90, 3);
    constexpr COLORREF kBack = RGB(57, 55, 125);
    constexpr COLORREF kBorder = RGB(168, 165, 216);
    constexpr COLORREF kBorderHover = RGB(210, 210, 211);
    constexpr COLORREF kPaper = RGB(255, 255, 255);
    constexpr int kOrigin = 10;  // the box's (0, 0) in the test picture, so the parts outside it show
    box.edit.m_clrFrameFill = kFill;
    box.edit.m_clrBorder = kBorder;
    box.edit.m_clrBorderHover = kBorderHover;
    // The platform's own erase, which follows ours, may fill with this brush: a hollow one keeps the frame readable.
    DeleteObject(box.edit.m_hbrBack);
    box.edit.m_hbrBack = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    for (BOOL hover : {FALSE, TRUE}) {
        box.edit.m_bHover = hover;
        HDC hDC = CreateCompatibleDC(nullptr);
        HBITMAP hPicture = wintest::MakeSolidBitmap(350, 50, kPaper);
        HGDIOBJ previous = SelectObject(hDC, hPicture);
        SetViewportOrgEx(hDC, kOrigin, kOrigin, nullptr);
        box.edit.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC));
        auto at = [&](int x, int y) { return GetPixel(hDC, x, y); };  // logical: the box's own coordinates
        const COLORREF outline = hover ? kBorderHover : kBorder;
        EXPECT_EQ(at(-5, 10), outline);
        EXPECT_EQ(at(325, 10), outline);
        EXPECT_EQ(at(100, 24), outline);
        EXPECT_EQ(at(100, -5), outline);
        EXPECT_EQ(at(-4, 10), kPaper);
        EXPECT_EQ(at(-3, 10), hover ? kPaper : kFill);
        EXPECT_EQ(at(324, 10), hover ? kPaper : kFill);
        if (!hover) {
            EXPECT_EQ(at(0, 0), kBack);
            EXPECT_EQ(at(322, 22), kBack);
            EXPECT_EQ(at(323, 10), kFill);
        }
        SelectObject(hDC, previous);
        DeleteObject(hPicture);
        DeleteDC(hDC);
    }
}

TEST(AdvEdit, HoverIsRequestedOncePerEntryAndRearmedOnLeave)
{
    CBox box;
    wintest::MoveMouseTo(20, 20, 0);
    RECT rc;
    box.edit.GetWindowRect(&rc);
    for (int entry = 0; entry < 2; ++entry) {
        wintest::MoveMouseTo(rc.left + 50, rc.top + 10, 0);
        ASSERT_TRUE(wintest::PumpUntil([&] { return box.edit.m_bHover == TRUE; }));
        EXPECT_FALSE(box.edit.m_bTrackArmed);
        wintest::MoveMouseTo(rc.left + 60, rc.top + 12);
        EXPECT_FALSE(box.edit.m_bTrackArmed);
        wintest::MoveMouseTo(rc.right + 80, rc.bottom + 80, 0);
        ASSERT_TRUE(wintest::PumpUntil([&] { return box.edit.m_bHover == FALSE; }));
        EXPECT_TRUE(box.edit.m_bTrackArmed);
    }
}
