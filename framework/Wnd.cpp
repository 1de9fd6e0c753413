// CWnd: binding objects to windows, the dialog and subclass procedures, reflection and the thin window operations.
#include "Wnd.h"

#include "SystemLibrary.h"
#include "WinApp.h"

#include <commctrl.h>

#include <memory>
#include <unordered_map>

const CRuntimeClass CWnd::classCWnd = {"CWnd", &CObject::classCObject};

namespace {

constexpr UINT_PTR kSubclassId = 1;

// Handle-only wrappers handed out by FromHandle for windows that have no object of their own. They hold nothing
// but the handle, so a wrapper stays right even when its handle value is reused by a new window.
std::unordered_map<HWND, std::unique_ptr<CWnd>>& TemporaryWrappers()
{
    thread_local std::unordered_map<HWND, std::unique_ptr<CWnd>> wrappers;
    return wrappers;
}

}  // namespace

// GetWindowSubclass is exported by comctl32 6 but missing from MinGW's import library: it is looked up in the
// comctl32 that the program's manifest selects, the one whose SetWindowSubclass the program imports.
bool CWnd::ReadSubclassData(HWND hWnd, DWORD_PTR& refData)
{
    using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
    static const GetWindowSubclassFn pfnGetWindowSubclass = [] {
        GetWindowSubclassFn pfn = nullptr;
        ResolveProc(GetModuleHandleW(L"comctl32.dll"), "GetWindowSubclass", pfn);
        return pfn;
    }();
    return pfnGetWindowSubclass != nullptr && pfnGetWindowSubclass(hWnd, SubclassProc, kSubclassId, &refData);
}

CWnd::~CWnd()
{
    if (m_bSubclassed && m_hWnd)
        RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    // Only windows of this thread: an object is used on its window's thread alone.
    if (!hWnd || !IsWindow(hWnd) || GetWindowThreadProcessId(hWnd, nullptr) != GetCurrentThreadId())
        return nullptr;
    // Read from the window itself: a control's subclass data, or a dialog's user data when the dialog runs our
    // dialog procedure (any other window's user data is its own business).
    DWORD_PTR refData = 0;
    if (ReadSubclassData(hWnd, refData))
        return reinterpret_cast<CWnd*>(refData);
    if (::GetWindowLongPtrW(hWnd, DWLP_DLGPROC) == reinterpret_cast<LONG_PTR>(&DialogProc))
        return reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    return nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* permanent = FromHandlePermanent(hWnd))
        return permanent;
    auto& wrappers = TemporaryWrappers();
    if (wrappers.find(hWnd) == wrappers.end())  // a new entry: drop those of windows that are gone, so they never pile up
        std::erase_if(wrappers, [](const auto& entry) { return !IsWindow(entry.first); });
    std::unique_ptr<CWnd>& wrapper = wrappers[hWnd];
    if (!wrapper) {
        wrapper = std::make_unique<CWnd>();
        wrapper->m_hWnd = hWnd;
    }
    return wrapper.get();
}

CWnd* CWnd::GetMainWnd()
{
    const CWinApp* pApp = AfxGetApp();
    return pApp != nullptr ? pApp->m_pMainWnd : nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || m_hWnd)
        return FALSE;
    m_hWnd = hWnd;
    PreSubclassWindow();
    if (!SetWindowSubclass(hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        m_hWnd = nullptr;
        return FALSE;
    }
    m_bSubclassed = true;
    return TRUE;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR idSubclass,
                                    DWORD_PTR refData)
{
    CWnd* self = reinterpret_cast<CWnd*>(refData);
    LRESULT result = 0;
    if (!self->Dispatch(msg, wParam, lParam, result))
        result = DefSubclassProc(hWnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        // The window is gone: the object may be bound again, for example when its dialog is shown once more.
        RemoveWindowSubclass(hWnd, SubclassProc, idSubclass);
        self->m_bSubclassed = false;
        self->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CALLBACK CWnd::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        CWnd* self = reinterpret_cast<CWnd*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, lParam);
        self->m_hWnd = hWnd;
        try {
            return self->HandleInitDialog();
        } catch (...) {
            return TRUE;  // the dialog manager's default: focus on the first control
        }
    }
    CWnd* self = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!self)
        return FALSE;  // messages before WM_INITDIALOG: the dialog manager's defaults
    LRESULT result = 0;
    const bool handled = self->Dispatch(msg, wParam, lParam, result);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
    }
    if (!handled)
        return FALSE;
    // These messages return their result as the procedure's own value, every other one through DWLP_MSGRESULT.
    const bool bResultDirect = (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM ||
                               msg == WM_VKEYTOITEM || msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON;
    if (bResultDirect)
        return result;
    ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return m_bSubclassed ? DefSubclassProc(m_hWnd, msg, wParam, lParam) : ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

bool CWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    // Nothing may unwind into the window manager (on 32-bit it would run through user32's frames): a handler that
    // throws leaves its message to the default handling.
    try {
        return ReflectToChild(msg, wParam, lParam, result) || OnMessage(msg, wParam, lParam, result);
    } catch (...) {
        return false;
    }
}

bool CWnd::ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND hChild = nullptr;
    if (msg == WM_DRAWITEM && wParam != 0)  // wParam 0: a menu item, not a control
        hChild = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    else if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC)
        hChild = reinterpret_cast<HWND>(lParam);
    else if (msg == WM_COMMAND && lParam != 0)  // lParam 0: a menu or accelerator command
        hChild = reinterpret_cast<HWND>(lParam);
    if (!hChild || hChild == m_hWnd)  // WM_CTLCOLORDLG asks about the dialog itself
        return false;
    CWnd* pChild = FromHandlePermanent(hChild);
    return pChild && pChild->OnMessage(WM_REFLECT_BASE + msg, wParam, lParam, result);
}

bool CWnd::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD style = GetStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(const RECT& rect, BOOL bRepaint)
{
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    return ::SetWindowPos(m_hWnd, pWndInsertAfter ? pWndInsertAfter->m_hWnd : nullptr, x, y, cx, cy, nFlags);
}

void CWnd::MapWindowPoints(const CWnd* pTo, RECT* pRect) const
{
    ::MapWindowPoints(m_hWnd, pTo ? pTo->m_hWnd : nullptr, reinterpret_cast<POINT*>(pRect), 2);
}

// Centres over the owner (a child window: over its parent's client area), or over the work area when there is
// none or it is hidden or minimised; each size is halved on its own, then the window is pushed inside the
// work area of the monitor concerned.
void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    const bool isChild = (GetStyle() & WS_CHILD) != 0;
    HWND hCenter = pAlternateOwner ? pAlternateOwner->m_hWnd
                                   : (isChild ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER));
    RECT rcWindow;
    GetWindowRect(&rcWindow);
    RECT rcArea;
    RECT rcCenter;
    if (isChild) {
        HWND hParent = ::GetParent(m_hWnd);
        ::GetClientRect(hParent, &rcArea);
        if (hCenter) {
            ::GetClientRect(hCenter, &rcCenter);
            ::MapWindowPoints(hCenter, hParent, reinterpret_cast<POINT*>(&rcCenter), 2);
        } else {
            rcCenter = rcArea;
        }
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rcWindow), 2);
    } else {
        if (hCenter) {
            LONG_PTR centerStyle = ::GetWindowLongPtrW(hCenter, GWL_STYLE);
            if (!(centerStyle & WS_VISIBLE) || (centerStyle & WS_MINIMIZE))
                hCenter = nullptr;
        }
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        if (hCenter) {
            ::GetWindowRect(hCenter, &rcCenter);
            ::GetMonitorInfoW(::MonitorFromWindow(hCenter, MONITOR_DEFAULTTONEAREST), &mi);
            rcArea = mi.rcWork;
        } else {
            ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
            rcArea = mi.rcWork;
            rcCenter = rcArea;
        }
    }
    const int width = rcWindow.right - rcWindow.left;
    const int height = rcWindow.bottom - rcWindow.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - width / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - height / 2;
    if (x + width > rcArea.right)
        x = rcArea.right - width;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y + height > rcArea.bottom)
        y = rcArea.bottom - height;
    if (y < rcArea.top)
        y = rcArea.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring CWnd::GetWindowTextW() const
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
    int copied = ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

void CWnd::SetFont(HFONT hFont, BOOL bRedraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), MAKELPARAM(bRedraw, 0));
}

HFONT CWnd::GetFont() const
{
    return reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
}
