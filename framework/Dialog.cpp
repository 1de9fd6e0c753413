// CDialog: creation from a template, the modal loop, initialisation with automatic centring, and ending.
#include "Dialog.h"

#include "ResourceModule.h"
#include "WinApp.h"

const CRuntimeClass CDialog::classCDialog = {"CDialog", &CWnd::classCWnd};

namespace {

HWND TopLevelOf(HWND hWnd)
{
    while (hWnd && (::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD))
        hWnd = ::GetParent(hWnd);
    return hWnd;
}

}  // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_pParentWnd(pParentWnd), m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog()
{
    if (m_hWnd) {
        // Detach first: no message of the destruction may reach an object that is half destroyed.
        HWND hWnd = m_hWnd;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        ::DestroyWindow(hWnd);
    }
}

BOOL CDialog::HandleInitDialog()
{
    RECT before;
    GetWindowRect(&before);
    BOOL focusDefault = OnInitDialog();
    // A dialog still hidden that its initialisation did not move is centred over its owner (or the work area).
    // This happens inside WM_INITDIALOG, so a template with WS_VISIBLE is already in place when it first shows.
    if (m_hWnd && !IsWindowVisible() && !(GetStyle() & WS_CHILD)) {
        RECT after;
        GetWindowRect(&after);
        if (after.left == before.left && after.top == before.top)
            CenterWindow();
    }
    return focusDefault;
}

HWND CDialog::DefaultOwner() const
{
    if (m_pParentWnd)
        return TopLevelOf(m_pParentWnd->m_hWnd);
    CWnd* pMain = GetMainWnd();
    if (pMain && pMain != this && pMain->m_hWnd)
        return TopLevelOf(pMain->m_hWnd);
    return TopLevelOf(::GetActiveWindow());
}

HWND CDialog::CreateFromTemplate(HWND hOwner)
{
    m_bEnded = false;
    m_nResult = -1;
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    if (m_pTemplate)
        return ::CreateDialogIndirectParamW(GetResourceModule(), m_pTemplate, hOwner, DialogProc, self);
    return ::CreateDialogParamW(GetResourceModule(), MAKEINTRESOURCEW(m_nIDTemplate), hOwner, DialogProc, self);
}

INT_PTR CDialog::DoModal()
{
    HWND hOwner = DefaultOwner();
    const bool disabledOwner = hOwner && ::IsWindowEnabled(hOwner);
    if (disabledOwner)
        ::EnableWindow(hOwner, FALSE);
    HWND hWnd = CreateFromTemplate(hOwner);
    if (hWnd && !m_bEnded) {
        if (!::IsWindowVisible(hWnd))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        RunModalLoop();
    }
    // The owner is enabled again before the dialog goes, so that activation returns to it.
    if (disabledOwner)
        ::EnableWindow(hOwner, TRUE);
    if (hWnd && ::IsWindow(hWnd)) {
        if (hOwner && ::GetActiveWindow() == hWnd)
            ::SetActiveWindow(hOwner);
        ::DestroyWindow(hWnd);
    }
    return m_nResult;
}

BOOL CDialog::Create(CWnd* pOwner)
{
    return CreateFromTemplate(pOwner ? pOwner->m_hWnd : nullptr) != nullptr;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    while (!m_bEnded && m_hWnd) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave WM_QUIT for the loop outside this one
            break;
        }
        if (got == -1)
            break;
        if (PreTranslateInChain(msg))
            continue;
        if (m_hWnd && ::IsDialogMessageW(m_hWnd, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Offers the message to the target window's object, then to the objects of its parents up to the top level.
bool CDialog::PreTranslateInChain(MSG& msg)
{
    for (HWND hWnd = msg.hwnd; hWnd;) {
        if (CWnd* pWnd = FromHandlePermanent(hWnd); pWnd && pWnd->PreTranslateMessage(&msg))
            return true;
        hWnd = (::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) ? ::GetParent(hWnd) : nullptr;
    }
    return false;
}

void CDialog::EndDialog(int nResult)
{
    m_nResult = nResult;
    m_bEnded = true;
    if (m_hWnd)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wakes a loop that waits in GetMessage
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED && lParam != 0)
            break;
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        }
        // Commands no dialog takes go to the application object (its help command).
        return AfxGetApp() != nullptr && AfxGetApp()->OnCommand(LOWORD(wParam));
    }
    return CWnd::OnMessage(msg, wParam, lParam, result);
}
