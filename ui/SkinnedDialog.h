// CSkinnedDialog: what the program's two skinned dialogs share: no keyboard ending, and clicks by identifier.
#pragma once

#include "DialogEx.h"

class CSkinnedDialog : public CDialogEx {
public:
    using CDialogEx::CDialogEx;

    // Escape and Enter would end the dialog through its Cancel and OK commands; a skinned dialog ends only through
    // its own image buttons, so it swallows these two keys.
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // Routes a button's click to OnCommand; everything else to the base class.
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // A button's click, by the button's identifier; false for a control the dialog does not handle.
    virtual bool OnCommand(UINT nID) = 0;
};
