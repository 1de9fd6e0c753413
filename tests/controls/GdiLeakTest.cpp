// Painting the skinned controls many times leaves no drawing object behind.
#include "AdvEdit.h"
#include "BitmapButtonEx.h"
#include "ControlHost.h"
#include "ProgressCtrlEx.h"
#include "TestImages.h"

#include <gtest/gtest.h>

TEST(GdiLeak, RepaintsReleaseEveryDrawingObject)
{
    CBitmapButtonEx button;
    CProgressCtrlEx bar;
    CAdvEdit edit;
    CControlHost buttonHost(button, L"BUTTON", BS_PUSHBUTTON);
    CControlHost barHost(bar, PROGRESS_CLASSW, 0);
    CControlHost editHost(edit, L"EDIT", ES_AUTOHSCROLL);
    buttonHost.Open(50, 50);
    barHost.Open(50, 280);
    editHost.Open(50, 500);
    button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_PRESSED, IDB_TEST_HOVER);
    bar.SetRange(0, 100);
    edit.SetPathText("C:\\");
    auto repaintAll = [&](int round) {
        button.m_bHover = round % 2;
        bar.SetPos(round % 101);
        edit.m_bHover = round % 2;
        for (CWnd* pWnd : {static_cast<CWnd*>(&button), static_cast<CWnd*>(&bar), static_cast<CWnd*>(&edit)}) {
            pWnd->Invalidate(TRUE);
            pWnd->UpdateWindow();
        }
    };
    repaintAll(0);  // first paints may create lasting objects of the platform's own (caches)
    wintest::PumpFor(20);
    const DWORD before = wintest::GdiObjectCount();
    ASSERT_GT(before, 0u);
    for (int round = 1; round <= 300; ++round)
        repaintAll(round);
    wintest::PumpFor(20);
    EXPECT_LE(wintest::GdiObjectCount(), before + 2);  // a leak would add hundreds
}
