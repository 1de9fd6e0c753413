// CWnd: a thin object around one HWND, and the path every message takes to its handler.
//
// How a message reaches a handler:
//  1. Windows calls one of two procedures of ours.
//     - CWnd::DialogProc for our dialogs (CDialog creates them with it); the object is in GWLP_USERDATA, stored at
//       WM_INITDIALOG and cleared at WM_NCDESTROY.
//     - CWnd::SubclassProc for a control bound to an object (DDX_Control / SubclassWindow); the object is the
//       SetWindowSubclass reference data, so the control's own user data stays untouched.
//  2. Both call CWnd::Dispatch. For a parent it first offers WM_DRAWITEM, WM_CTLCOLOR* and WM_COMMAND notifications
//     to the object of the child control concerned, as the message WM_REFLECT_BASE + msg ("reflection"). A child that
//     handles it wins: that is how owner-drawn buttons paint themselves and the edit box picks its colours.
//  3. Otherwise the most derived class's OnMessage gets it: one plain switch that calls one named handler and
//     returns true ("handled", result in `result`), or ends with `return Base::OnMessage(...)`, so an unhandled
//     message falls through to the base class and finally returns false.
//  4. Unhandled (false): a control's previous window procedure (DefSubclassProc) or, for a dialog, the dialog
//     manager's default handling (the dialog procedure returns FALSE).
//  A dialog returns a handled message's result through DWLP_MSGRESULT, except the few messages whose result is the
//  dialog procedure's own return value (WM_CTLCOLOR*, WM_QUERYDRAGICON, ...).
//  Before any of this, the modal loop (CDialog::DoModal) offers each queued message to PreTranslateMessage of the
//  target window's object and of its parents; one that returns TRUE swallows the message.
#pragma once

#include "Object.h"

#include <windows.h>

#include <string>

// A message reflected from a parent to its child control arrives as WM_REFLECT_BASE + the original message.
constexpr UINT WM_REFLECT_BASE = WM_USER + 0x1C00;

class CWnd : public CObject {
public:
    static const CRuntimeClass classCWnd;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCWnd; }

    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to a window of this thread (a dialog of ours or a subclassed control), or null.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // The bound object, or else a handle-only wrapper kept for the thread's lifetime (one per handle value).
    static CWnd* FromHandle(HWND hWnd);

    // The application's main window (CWinApp::m_pMainWnd): the default owner of dialogs made without a parent.
    static CWnd* GetMainWnd();

    // Binds this object to an existing window (the control keeps working; only unhandled messages reach it).
    BOOL SubclassWindow(HWND hWnd);

    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Window operations, thin wrappers over the platform calls of the same names.
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetWindowRect(RECT* pRect) const { ::GetWindowRect(m_hWnd, pRect); }
    void GetClientRect(RECT* pRect) const { ::GetClientRect(m_hWnd, pRect); }
    void MapWindowPoints(const CWnd* pTo, RECT* pRect) const;
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(const RECT* pRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, pRect, bErase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void SetWindowTextA(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    void SetWindowTextW(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowTextW() const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE);
    HFONT GetFont() const;
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::PostMessageW(m_hWnd, msg, wParam, lParam); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageW(m_hWnd, msg, wParam, lParam); }

protected:
    // The class's message map: see the top of this file. Returns false for "not handled".
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Called when the object is bound to an existing window, before any message reaches it.
    virtual void PreSubclassWindow() {}
    // The previous window procedure of a subclassed control; a handler uses it to run the default first.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Reflection, then OnMessage; a handler that throws counts as not handled.
    bool Dispatch(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;
    // The dialog procedure of our dialogs; WM_INITDIALOG carries the object as lParam.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // WM_INITDIALOG of a dialog of ours (CDialog binds its controls and runs OnInitDialog); TRUE: the default focus.
    virtual BOOL HandleInitDialog() { return TRUE; }

private:
    bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The object a control of ours was bound to (SubclassWindow), from the window's own subclass data.
    static bool ReadSubclassData(HWND hWnd, DWORD_PTR& refData);
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR idSubclass,
                                         DWORD_PTR refData);
    bool m_bSubclassed = false;

};
