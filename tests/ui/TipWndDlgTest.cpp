// The confirmation dialog over a main-window stand-in: place, picture, answers, keys, withdrawal, dragging.
#include "SkinnedOwner.h"
#include "TipWndDlg.h"

#include <gtest/gtest.h>

namespace {

RECT RectIn(HWND hWnd, HWND hParent)
{
    RECT rc;
    GetWindowRect(hWnd, &rc);
    MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Owner-drawn buttons turn a second click within the double-click time into BN_DOUBLECLICKED.
void WaitOutDoubleClick()
{
    wintest::PumpFor(GetDoubleClickTime() + 50);
}

}  // namespace

TEST(TipWndDlg, PlacedOverTheMainWindowWithItsButtonsAndPicture)
{
    CSkinnedOwner owner(120, 100);
    CTipWndDlg tip;
    RECT window = {};
    RECT close = {};
    RECT ok = {};
    RECT cancel = {};
    HWND focus = nullptr;
    HWND okButton = nullptr;
    wintest::CPixels shown;
    wintest::RunSoon([&] {
        UpdateWindow(tip);
        wintest::PumpFor(50);
        GetWindowRect(tip, &window);
        close = RectIn(tip.m_btnClose, tip);
        ok = RectIn(tip.m_btnOK, tip);
        cancel = RectIn(tip.m_btnCancel, tip);
        focus = GetFocus();
        okButton = tip.m_btnOK;
        shown = wintest::CaptureClient(tip);
        wintest::SaveScreenshot(wintest::CaptureScreen({100, 80, 790, 480}), "confirmation-over-main");
        tip.CloseTip();
    });
    tip.DoModal();
    EXPECT_EQ(window.left, 120 + 172);
    EXPECT_EQ(window.top, 100 + 88);
    EXPECT_EQ(window.right - window.left, 307);
    EXPECT_EQ(window.bottom - window.top, 185);
    EXPECT_EQ(close.left, 243);
    EXPECT_EQ(close.top, 46);
    EXPECT_EQ(close.right - close.left, 12);
    EXPECT_EQ(ok.left, 58);
    EXPECT_EQ(ok.top, 115);
    EXPECT_EQ(ok.right, 150);
    EXPECT_EQ(ok.bottom, 141);
    EXPECT_EQ(cancel.left, 156);
    EXPECT_EQ(cancel.right, 248);
    EXPECT_EQ(focus, okButton);  // the first tab stop
    EXPECT_STREQ(tip.GetRuntimeClass()->m_lpszClassName, "CTipWndDlg");
    EXPECT_TRUE(tip.IsKindOf(&CDialogEx::classCDialogEx));

    // The background is bitmap 161 from the client origin, and it repeats the main picture at (172, 88).
    CBitmap picture;
    ASSERT_TRUE(picture.LoadBitmap(IDB_BG_TIP));
    HDC hDC = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(hDC, picture);
    int compared = 0;
    for (int y = 2; y < 185; y += 7) {
        for (int x = 2; x < 307; x += 11) {
            POINT p = {x, y};
            if (PtInRect(&close, p) || PtInRect(&ok, p) || PtInRect(&cancel, p))
                continue;
            EXPECT_EQ(shown.At(x, y), GetPixel(hDC, x, y)) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 500);
    SelectObject(hDC, previous);
    DeleteDC(hDC);
}

TEST(TipWndDlg, ButtonsAnswerAndCloseTheQuestion)
{
    struct Row {
        CBitmapButtonEx CTipWndDlg::*button;
        bool before;
        bool after;
    };
    const Row rows[] = {
        {&CTipWndDlg::m_btnOK, false, true},
        {&CTipWndDlg::m_btnCancel, true, false},
        {&CTipWndDlg::m_btnClose, true, false},
    };
    CSkinnedOwner owner(120, 100);
    for (const Row& row : rows) {
        CTipWndDlg tip;
        tip.m_bConfirmed = row.before;
        bool openWhileShown = false;
        wintest::RunSoon([&] {
            openWhileShown = tip.m_bOpen;
            POINT centre = wintest::CentreOf((tip.*row.button).m_hWnd);
            wintest::ClickAt(centre.x, centre.y);
        });
        wintest::RunSoon([&] { tip.CloseTip(); }, 2000);  // a missed click must not hang the test
        EXPECT_EQ(tip.DoModal(), IDCANCEL);
        wintest::CancelScripts();
        EXPECT_TRUE(openWhileShown);
        EXPECT_EQ(tip.m_bConfirmed, row.after);
        EXPECT_FALSE(tip.m_bOpen);
        EXPECT_TRUE(owner.IsWindowEnabled());
        WaitOutDoubleClick();
    }
}

TEST(TipWndDlg, EscapeAndEnterDoNothing)
{
    CSkinnedOwner owner(120, 100);
    CTipWndDlg tip;
    tip.m_bConfirmed = true;
    bool stillOpen = false;
    wintest::RunSoon([&] {
        SetForegroundWindow(tip);
        wintest::SendKey(VK_ESCAPE);
        wintest::SendKey(VK_RETURN);  // the focus is on OK: Enter would press it
    });
    wintest::RunSoon([&] {
        stillOpen = tip.m_bOpen && !tip.IsEnded() && tip.IsWindowVisible();
        tip.CloseTip();
    }, 400);
    tip.DoModal();
    wintest::CancelScripts();
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(tip.m_bConfirmed);
}

TEST(TipWndDlg, OwnerWithdrawsTheQuestionAndTheAnswerPersistsBetweenShowings)
{
    CSkinnedOwner owner(120, 100);
    CTipWndDlg tip;
    owner.m_onRun = [&] {
        if (tip.m_bOpen)
            tip.CloseTip();
    };
    auto showAndThen = [&](std::function<void()> action) {
        wintest::RunSoon(std::move(action));
        wintest::RunSoon([&] { tip.CloseTip(); }, 2000);
        tip.DoModal();
        wintest::CancelScripts();
        WaitOutDoubleClick();
    };
    auto click = [&](CBitmapButtonEx& button) {
        return [&] {
            POINT centre = wintest::CentreOf(button);
            wintest::ClickAt(centre.x, centre.y);
        };
    };
    // A message posted to the disabled owner is handled by the owner while the question's loop runs.
    auto withdraw = [&] { owner.PostMessage(CSkinnedOwner::kRunMessage); };

    showAndThen(withdraw);
    EXPECT_FALSE(tip.m_bConfirmed);
    EXPECT_FALSE(tip.m_bOpen);
    showAndThen(click(tip.m_btnOK));
    EXPECT_TRUE(tip.m_bConfirmed);
    showAndThen(withdraw);
    EXPECT_TRUE(tip.m_bConfirmed);  // withdrawing keeps the previous answer
    EXPECT_FALSE(tip.m_bOpen);
    showAndThen(click(tip.m_btnCancel));
    EXPECT_FALSE(tip.m_bConfirmed);
}

TEST(TipWndDlg, DraggingTheBackgroundDoesNotMoveIt)
{
    CSkinnedOwner owner(120, 100);
    CTipWndDlg tip;
    RECT before = {};
    RECT after = {};
    wintest::RunSoon([&] {
        GetWindowRect(tip, &before);
        const int x = before.left + 20;
        const int y = before.top + 20;
        wintest::MoveMouseTo(x, y);
        INPUT press = {};
        press.type = INPUT_MOUSE;
        press.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        SendInput(1, &press, sizeof press);
        wintest::PumpFor(30);
        wintest::MoveMouseTo(x + 60, y + 40);
        press.mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(1, &press, sizeof press);
        wintest::PumpFor(50);
        GetWindowRect(tip, &after);
        tip.CloseTip();
    });
    tip.DoModal();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
}

TEST(TipWndDlg, AltF4ClosesItWithoutAnAnswerAndItIsNoLongerOpen)
{
    CSkinnedOwner owner(120, 100);
    CTipWndDlg tip;
    wintest::RunSoon([&] { tip.SendMessage(WM_SYSCOMMAND, SC_CLOSE); });
    EXPECT_EQ(tip.DoModal(), IDCANCEL);
    EXPECT_FALSE(tip.m_bOpen);
    EXPECT_FALSE(tip.m_bConfirmed);
}
