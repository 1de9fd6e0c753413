// The About box: built from its template, modal to the main window, closed by OK, Enter and Escape.
#include "AboutDlg.h"
#include "SkinnedOwner.h"

#include <gtest/gtest.h>

TEST(AboutDlg, ModalToTheMainWindowAndClosedByOkEnterAndEscape)
{
    enum class How { Click, Enter, Escape };
    struct Row {
        How how;
        INT_PTR expected;
    };
    CSkinnedOwner owner(120, 100);
    for (Row row : {Row{How::Click, IDOK}, Row{How::Enter, IDOK}, Row{How::Escape, IDCANCEL}}) {
        CAboutDlg about;
        HWND ownerSeen = nullptr;
        bool ownerEnabled = true;
        std::wstring caption;
        std::wstring okText;
        wintest::RunSoon([&] {
            ownerSeen = GetWindow(about, GW_OWNER);
            ownerEnabled = owner.IsWindowEnabled();
            caption = about.GetWindowTextW();
            okText = about.GetDlgItem(IDOK)->GetWindowTextW();
            if (row.how == How::Click) {
                wintest::SaveScreenshot(wintest::CaptureClient(about), "about");
                POINT centre = wintest::CentreOf(::GetDlgItem(about, IDOK));
                wintest::ClickAt(centre.x, centre.y);
            } else {
                SetForegroundWindow(about);
                wintest::SendKey(row.how == How::Enter ? VK_RETURN : VK_ESCAPE);
            }
        });
        wintest::RunSoon([&] { about.EndDialog(-2); }, 2000);
        EXPECT_EQ(about.DoModal(), row.expected) << static_cast<int>(row.how);
        wintest::CancelScripts();
        EXPECT_EQ(ownerSeen, owner.m_hWnd);
        EXPECT_FALSE(ownerEnabled);
        EXPECT_TRUE(owner.IsWindowEnabled());
        EXPECT_EQ(caption, L"关于 TarnvikHSDownloader");
        EXPECT_EQ(okText, L"确定");
        wintest::PumpFor(GetDoubleClickTime() + 50);
    }
}
