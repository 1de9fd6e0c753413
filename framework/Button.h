// CButton: a push button; an owner-drawn one paints itself in DrawItem, reached by reflection.
#pragma once

#include "Wnd.h"

class CButton : public CWnd {
public:
    static const CRuntimeClass classCButton;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCButton; }

    UINT GetState() const { return static_cast<UINT>(::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0)); }

protected:
    // The reflected WM_DRAWITEM of an owner-drawn button.
    virtual void DrawItem(DRAWITEMSTRUCT*) {}

    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
