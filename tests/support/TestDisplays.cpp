// A top-level window with a real progress bar and three statics that record what a download worker does to them.
#include "TestDisplays.h"

#include <commctrl.h>


namespace {

constexpr wchar_t kClassName[] = L"TarnvikTestDisplays";
constexpr UINT_PTR kSubclassId = 1;

HWND CreateChild(HWND hParent, const wchar_t* pszClass, int nTop)
{
    return CreateWindowExW(0, pszClass, L"", WS_CHILD, 10, nTop, 300, 20, hParent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

CTestDisplays::CTestDisplays(UINT nNoticeMessage)
    : m_nNoticeMessage(nNoticeMessage)
{
    static const bool bRegistered = [] {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        return RegisterClassW(&windowClass) != 0;
    }();
    (void)bRegistered;
    m_hWnd = CreateWindowExW(0, kClassName, L"engine test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_hProgress = CreateChild(m_hWnd, PROGRESS_CLASSW, 10);
    m_hPercent = CreateChild(m_hWnd, L"STATIC", 40);
    m_hSize = CreateChild(m_hWnd, L"STATIC", 70);
    m_hSpeed = CreateChild(m_hWnd, L"STATIC", 100);
    for (HWND hControl : {m_hProgress, m_hPercent, m_hSize, m_hSpeed})
        SetWindowSubclass(hControl, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
}

CTestDisplays::~CTestDisplays()
{
    Destroy();
}

void CTestDisplays::Destroy()
{
    if (m_hWnd == nullptr)
        return;
    for (HWND hControl : {m_hProgress, m_hPercent, m_hSize, m_hSpeed})
        RemoveWindowSubclass(hControl, ControlProc, kSubclassId);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
    m_hWnd = m_hProgress = m_hPercent = m_hSize = m_hSpeed = nullptr;
}

std::wstring CTestDisplays::Text(HWND hWnd)
{
    wchar_t szText[256] = {};
    GetWindowTextW(hWnd, szText, 256);
    return szText;
}

bool CTestDisplays::Visible(HWND hWnd)
{
    return (GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

int CTestDisplays::Position() const
{
    return static_cast<int>(SendMessageW(m_hProgress, PBM_GETPOS, 0, 0));
}

LRESULT CALLBACK CTestDisplays::WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = reinterpret_cast<CTestDisplays*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis != nullptr && nMsg == pThis->m_nNoticeMessage) {
        pThis->m_notices.push_back(wParam);
        if (pThis->m_onNotice)
            pThis->m_onNotice(wParam);
        return 0;
    }
    return DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

LRESULT CALLBACK CTestDisplays::ControlProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR pRefData)
{
    auto* pThis = reinterpret_cast<CTestDisplays*>(pRefData);
    if (nMsg == PBM_SETPOS) {
        pThis->m_positions.push_back(static_cast<int>(wParam));
        if (pThis->m_onSetPos)
            pThis->m_onSetPos(static_cast<int>(wParam));
    } else if (nMsg == WM_SHOWWINDOW) {
        pThis->m_visibilityChanges.emplace_back(hWnd, wParam != FALSE);
    } else if (nMsg == WM_SETTEXT && lParam != 0 && *reinterpret_cast<const wchar_t*>(lParam) != L'\0') {
        const wchar_t* pszText = reinterpret_cast<const wchar_t*>(lParam);
        if (hWnd == pThis->m_hPercent)
            pThis->m_percentTexts.push_back(pszText);
        else if (hWnd == pThis->m_hSize)
            pThis->m_sizeTexts.push_back(pszText);
        else if (hWnd == pThis->m_hSpeed)
            pThis->m_speedTexts.push_back(pszText);
    }
    return DefSubclassProc(hWnd, nMsg, wParam, lParam);
}

