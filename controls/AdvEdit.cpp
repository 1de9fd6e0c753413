// CAdvEdit: font and geometry, colours, the erase-time frame, hint handling and hover tracking.
#include "AdvEdit.h"

#include "MouseTracking.h"
#include "Pen.h"
#include "SelectGuard.h"
#include "TextConversion.h"
#include "WindowDC.h"

#include <utility>

namespace {

constexpr COLORREF kPasswordPromptColour = RGB(192, 192, 192);
constexpr wchar_t kPasswordPrompt[] = L"请输入密码";
constexpr int kFrameFillInset = 3;  // the frame fill starts 3 px left of and above the box
constexpr int kOutlineInset = 5;    // the outline 5 px
constexpr int kParentRepaintShift = 3;

}  // namespace

CAdvEdit::CAdvEdit()
{
    m_hbrBack.CreateSolidBrush(m_clrBack);
}

void CAdvEdit::PreSubclassWindow()
{
    CEdit::PreSubclassWindow();
    ApplyFont();
}

void CAdvEdit::ApplyFont()
{
    ApplyFontOfSize(m_nPointSize);
}

void CAdvEdit::ApplyFontOfSize(int nPointSize)
{
    // The window gets the new font before the old one goes, so it never holds a released handle.
    CFont font;
    font.CreatePointFont(nPointSize, m_strFaceName.c_str());
    SetFont(font, FALSE);
    m_font = std::move(font);
    m_rcBox.bottom = kBoxHeight;
    SetWindowPos(nullptr, 0, 0, m_rcBox.right - m_rcBox.left, m_rcBox.bottom - m_rcBox.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAdvEdit::SetBackBrush(HBRUSH hBrush)
{
    if (hBrush)
        m_hbrBack.Attach(hBrush);
}

void CAdvEdit::SetPathText(const std::string& path)
{
    if (path.empty())
        return;
    const std::wstring text = AnsiToWide(path);
    SetWindowTextW(text.c_str());
    m_bShowingHint = text.empty();
}

std::string CAdvEdit::GetPathText() const
{
    return WideToAnsi(GetWindowTextW());
}

bool CAdvEdit::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_MOUSEMOVE:
        OnMouseMove();
        break;
    case WM_ERASEBKGND:
        result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_REFLECT_BASE + WM_CTLCOLOREDIT:
    case WM_REFLECT_BASE + WM_CTLCOLORSTATIC:  // read-only or disabled
        result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam)));
        return true;
    case WM_SETFOCUS:
        result = DefWindowProc(msg, wParam, lParam);
        OnSetFocus();
        return true;
    case WM_KILLFOCUS:
        result = DefWindowProc(msg, wParam, lParam);
        OnKillFocus();
        return true;
    case WM_CHAR:
        OnChar();
        break;
    case WM_REFLECT_BASE + WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE) {
            OnChange();
            return true;  // consumed: the parent does not see it
        }
        break;
    case WM_NCPAINT:
        OnNcPaint();
        result = 0;
        return true;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        result = 0;
        return true;
    case WM_MOUSEHOVER:
        OnMouseHover();
        result = 0;
        return true;
    }
    return CEdit::OnMessage(msg, wParam, lParam, result);
}

void CAdvEdit::OnMouseMove()
{
    if (m_hCursor)
        ::SetCursor(m_hCursor);
    if (!m_bTrackArmed)
        return;
    // A refused request stays armed and is asked again at the next move.
    if (RequestMouseTracking(m_hWnd, TME_HOVER | TME_LEAVE, 1))
        m_bTrackArmed = FALSE;
}

LRESULT CAdvEdit::OnEraseBkgnd(HDC hDC)
{
    const RECT& r = m_rcBox;
    if (!m_bHover) {
        CBrush frameFill;
        CBrush back;
        frameFill.CreateSolidBrush(m_clrFrameFill);
        back.CreateSolidBrush(m_clrBack);
        CSelectGuard noOutline(hDC, ::GetStockObject(NULL_PEN));
        {
            CSelectGuard selectFill(hDC, frameFill);
            ::RoundRect(hDC, r.left - kFrameFillInset, r.top - kFrameFillInset, r.right + 2, r.bottom + 1,
                        m_nCornerWidth, m_nCornerHeight);
        }
        CSelectGuard selectBack(hDC, back);
        ::Rectangle(hDC, r.left, r.top, r.right, r.bottom);
    }
    const bool hovered = m_bHover != FALSE;
    const int penWidth = hovered && (m_dwOptions & kOptionHoverPenWidth) ? m_nHoverPenWidth : 1;
    CPen outline;
    outline.CreatePen(PS_SOLID, penWidth, hovered ? m_clrBorderHover : m_clrBorder);
    {
        CSelectGuard selectPen(hDC, outline);
        CSelectGuard noFill(hDC, ::GetStockObject(NULL_BRUSH));
        ::RoundRect(hDC, r.left - kOutlineInset, r.top - kOutlineInset, r.right + 2, r.bottom + 1, m_nCornerWidth,
                    m_nCornerHeight);
    }
    if (m_dwOptions & kOptionHoverFont)
        ApplyFontOfSize(hovered ? m_nHoverPointSize : m_nPointSize);
    return DefWindowProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
}

HBRUSH CAdvEdit::CtlColor(HDC hDC)
{
    // The owner writes m_clrBack directly: the brush follows it here, before the platform paints with it.
    // The old brush goes only once the new one is made: until then the box keeps painting with it.
    if (CBrush brush; m_clrBackBrush != m_clrBack && brush.CreateSolidBrush(m_clrBack)) {
        m_hbrBack = std::move(brush);
        m_clrBackBrush = m_clrBack;
    }
    ::SetBkColor(hDC, (m_dwOptions & kOptionHoverBack) && m_bHover ? m_clrBackHover : m_clrBack);
    ::SetTextColor(hDC, m_bShowingHint ? m_clrHint : m_clrText);
    return m_hbrBack;
}

// The focus handlers clear m_bTyped before changing the text, so their own change never touches m_bShowingHint.
void CAdvEdit::OnSetFocus()
{
    if (!m_bShowingHint)
        return;
    m_bTyped = FALSE;
    SetWindowTextW(L"");
}

void CAdvEdit::OnKillFocus()
{
    if (!m_bShowingHint)
        return;
    m_bTyped = FALSE;
    SetWindowTextW(m_strHint.c_str());
}

void CAdvEdit::OnChar()
{
    m_bTyped = TRUE;
    if (GetWindowTextLength() < 2)  // the text may change between empty and not: the colour with it
        Invalidate(TRUE);
}

void CAdvEdit::OnChange()
{
    if (m_bTyped)
        m_bShowingHint = GetWindowTextLength() == 0;
}

void CAdvEdit::OnNcPaint()
{
    if (!(GetStyle() & ES_PASSWORD) || m_bHover || !m_bShowingHint)
        return;
    CWindowDC dc(m_hWnd);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kPasswordPromptColour);
    CSelectGuard selectFont(dc, m_font);
    RECT box = m_rcBox;
    ::DrawTextW(dc, kPasswordPrompt, -1, &box, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void CAdvEdit::OnMouseLeave()
{
    m_bHover = FALSE;
    Invalidate(TRUE);
    m_bTrackArmed = TRUE;
    // The outline lies partly outside the box: the parent repaints that area.
    CWnd* pParent = GetParent();
    if (!pParent)
        return;
    RECT area = m_rcBox;
    ::OffsetRect(&area, kParentRepaintShift, kParentRepaintShift);
    MapWindowPoints(pParent, &area);
    pParent->InvalidateRect(&area, TRUE);
    pParent->UpdateWindow();
}

void CAdvEdit::OnMouseHover()
{
    m_bHover = TRUE;
    Invalidate(TRUE);
}
