// CAdvEdit: the path edit box with its own font, colours, hint text, frame drawn at erase time and hover outline.
#pragma once

#include "Brush.h"
#include "Edit.h"
#include "Font.h"

#include <string>

class CAdvEdit : public CEdit {
public:
    // m_dwOptions bits: what follows the hover state.
    static constexpr DWORD kOptionHoverFont = 1;
    static constexpr DWORD kOptionHoverBack = 2;
    static constexpr DWORD kOptionHoverPenWidth = 4;

    CAdvEdit();

    // Settings the owner writes directly; they show at the next repaint.
    HCURSOR m_hCursor = nullptr;
    DWORD m_dwOptions = 0;
    int m_nHoverPenWidth = 2;
    std::wstring m_strHint;
    int m_nCornerWidth = 0;
    int m_nCornerHeight = 0;
    COLORREF m_clrFrameFill = RGB(57, 55, 125);
    COLORREF m_clrBorderHover = RGB(150, 150, 150);
    COLORREF m_clrBorder = RGB(192, 192, 192);
    COLORREF m_clrBack = RGB(57, 55, 125);
    COLORREF m_clrBackHover = RGB(57, 55, 125);
    COLORREF m_clrText = RGB(255, 255, 255);
    COLORREF m_clrHint = RGB(210, 210, 210);
    std::wstring m_strFaceName = L"微软雅黑";
    int m_nPointSize = 95;  // tenths of a point
    int m_nHoverPointSize = 95;

    // The box's own state.
    BOOL m_bShowingHint = TRUE;  // the hint or nothing is shown: text in m_clrHint
    BOOL m_bTyped = FALSE;       // a character key came since a focus handler last put up or took down the hint
    BOOL m_bHover = FALSE;
    BOOL m_bTrackArmed = TRUE;   // the next mouse move requests hover and leave notifications
    CFont m_font;
    CBrush m_hbrBack;  // the background brush handed to the platform: solid m_clrBack, remade when that changes
    RECT m_rcBox = {0, 0, 324, 30};

    static constexpr int kBoxHeight = 24;

    // Rebuilds the font from m_strFaceName and m_nPointSize and sizes the window to m_rcBox, 24 pixels high.
    void ApplyFont();
    // Takes ownership of hBrush as m_hbrBack (until m_clrBack next changes) and releases the brush it replaces;
    // a null brush changes nothing.
    void SetBackBrush(HBRUSH hBrush);
    // Shows a narrow path (ANSI code page); an empty path changes nothing.
    void SetPathText(const std::string& path);
    // The window text as narrow text, the hint included while it shows.
    std::string GetPathText() const;

protected:
    void PreSubclassWindow() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ApplyFontOfSize(int nPointSize);
    void OnMouseMove();
    LRESULT OnEraseBkgnd(HDC hDC);
    HBRUSH CtlColor(HDC hDC);
    void OnSetFocus();
    void OnKillFocus();
    void OnChar();
    void OnChange();
    void OnNcPaint();
    void OnMouseLeave();
    void OnMouseHover();

    COLORREF m_clrBackBrush = m_clrBack;  // the colour m_hbrBack was made from
};
