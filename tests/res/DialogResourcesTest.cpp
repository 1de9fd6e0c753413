// The dialog templates: their exact contents as stored, and the windows that creating them gives.
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Control {
    int id;
    std::wstring className;
    DWORD style;
    RECT rect;           // left, top, width, height in dialog units
    std::wstring text;   // a numeric resource text (the About icon) reads "#128"
};

struct Dialog {
    DWORD style = 0, exStyle = 0;
    RECT rect{};
    std::wstring title;
    int pointSize = 0, weight = 0, italic = 0, charset = 0;
    std::wstring face;
    std::vector<Control> controls;
};

// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX entries).
class CTemplateReader {
public:
    explicit CTemplateReader(const BYTE* p) : m_p(p), m_start(p) {}
    WORD Word() { WORD v; memcpy(&v, m_p, 2); m_p += 2; return v; }
    DWORD Dword() { DWORD v; memcpy(&v, m_p, 4); m_p += 4; return v; }
    BYTE Byte() { return *m_p++; }
    short Short() { return static_cast<short>(Word()); }
    RECT Rect() { const short x = Short(), y = Short(), w = Short(), h = Short(); return {x, y, w, h}; }
    std::wstring Text()
    {
        std::wstring s;
        for (WORD c = Word(); c != 0; c = Word())
            s += static_cast<wchar_t>(c);
        return s;
    }
    std::wstring TextOrOrdinal()
    {
        WORD first;
        memcpy(&first, m_p, 2);
        if (first != 0xFFFF)
            return Text();
        m_p += 2;
        return L"#" + std::to_wstring(Word());
    }
    void Skip(size_t n) { m_p += n; }
    void AlignDword() { while ((m_p - m_start) % 4) ++m_p; }

private:
    const BYTE* m_p;
    const BYTE* m_start;
};

std::wstring ClassName(const std::wstring& stored)
{
    // Predefined classes are stored as ordinals.
    static const std::pair<const wchar_t*, const wchar_t*> kAtoms[] = {
        {L"#128", L"Button"}, {L"#129", L"Edit"}, {L"#130", L"Static"}};
    for (const auto& [atom, name] : kAtoms)
        if (stored == atom)
            return name;
    return stored;
}

Dialog ReadTemplate(int id)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    if (!found)
        return {};
    CTemplateReader r(static_cast<const BYTE*>(LockResource(LoadResource(module, found))));
    Dialog d;
    EXPECT_EQ(r.Word(), 1) << "dlgVer";
    EXPECT_EQ(r.Word(), 0xFFFF) << "an extended template";
    r.Dword();  // help id
    d.exStyle = r.Dword();
    d.style = r.Dword();
    const int count = r.Word();
    d.rect = r.Rect();
    EXPECT_EQ(r.TextOrOrdinal(), L"") << "no menu";
    EXPECT_EQ(r.TextOrOrdinal(), L"") << "default class";
    d.title = r.Text();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.Word();
        d.weight = r.Word();
        d.italic = r.Byte();
        d.charset = r.Byte();
        d.face = r.Text();
    }
    for (int i = 0; i < count; ++i) {
        r.AlignDword();
        Control c;
        r.Dword();  // help id
        EXPECT_EQ(r.Dword(), 0u) << "no extended style on control " << i;
        c.style = r.Dword();
        c.rect = r.Rect();
        c.id = static_cast<int>(r.Dword());
        c.className = ClassName(r.TextOrOrdinal());
        c.text = r.TextOrOrdinal();
        r.Skip(r.Word());
        d.controls.push_back(c);
    }
    return d;
}

void ExpectControls(const Dialog& dialog, const std::vector<Control>& expected)
{
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control &a = dialog.controls[i], &e = expected[i];
        SCOPED_TRACE(::testing::Message() << "control " << i << " (" << e.id << ")");
        EXPECT_EQ(a.id, e.id);
        EXPECT_EQ(_wcsicmp(a.className.c_str(), e.className.c_str()), 0) << a.className;
        EXPECT_EQ(a.style, e.style) << std::hex << a.style << " instead of " << e.style;
        EXPECT_EQ(a.rect.left, e.rect.left);
        EXPECT_EQ(a.rect.top, e.rect.top);
        EXPECT_EQ(a.rect.right, e.rect.right);
        EXPECT_EQ(a.rect.bottom, e.rect.bottom);
        EXPECT_EQ(a.text, e.text);
    }
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPlainButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLeftText = kChild | WS_GROUP | SS_LEFT;

// Answers FALSE to everything; from WM_INITDIALOG that sets no focus, so no push button becomes the default.
INT_PTR CALLBACK MinimalDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

}  // namespace

TEST(DialogTemplates, MainIsABorderlessPopupWithTheThirteenControls)
{
    const Dialog d = ReadTemplate(IDD_MAIN);
    EXPECT_EQ(d.style, DWORD(WS_POPUP | WS_VISIBLE | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(d.exStyle, DWORD(WS_EX_APPWINDOW));
    EXPECT_EQ(d.rect.right, 320);
    EXPECT_EQ(d.rect.bottom, 200);
    EXPECT_EQ(d.title, L"");
    EXPECT_EQ(d.face, L"MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 9);
    EXPECT_EQ(d.weight, 0);
    EXPECT_EQ(d.italic, 0);
    EXPECT_EQ(d.charset, 1);
    ExpectControls(d, {
        {IDC_DOWNLOAD, L"Button", kChild | WS_TABSTOP | BS_OWNERDRAW, {54, 26, 69, 33}, L"下载"},
        {IDC_STOP, L"Button", kPlainButton, {199, 149, 69, 33}, L"取消"},
        {IDC_PROGRESS, PROGRESS_CLASSW, kChild | WS_BORDER, {37, 108, 205, 14}, L""},
        {IDC_PERCENT, L"Static", kLeftText, {125, 98, 51, 8}, L"0%"},
        {IDC_MINIMIZE, L"Button", kPlainButton, {265, 7, 22, 16}, L"-"},
        {IDC_EXIT, L"Button", kPlainButton, {291, 7, 22, 16}, L"x"},
        {IDC_INSTALL, L"Button", kPlainButton, {114, 151, 69, 33}, L"立即体验"},
        {IDC_GIVEUP, L"Button", kPlainButton, {244, 151, 69, 33}, L"放弃"},
        {IDC_PATH, L"Edit", kChild | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, {7, 67, 265, 16}, L""},
        {IDC_BROWSE, L"Button", kPlainButton, {285, 130, 21, 15}, L"打开"},
        {IDC_REDOWNLOAD, L"Button", kPlainButton, {174, 37, 69, 33}, L"重新下载"},
        {IDC_FILE_SIZE, L"Static", kLeftText, {35, 93, 66, 8}, L"文件大小"},
        {IDC_SPEED, L"Static", kLeftText, {229, 90, 75, 8}, L"下载速度"},
    });
}

TEST(DialogTemplates, ConfirmationIsAHiddenPopupWithThreeButtons)
{
    const Dialog d = ReadTemplate(IDD_TIP);
    EXPECT_EQ(d.style, DWORD(WS_POPUP | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.rect.right, 239);
    EXPECT_EQ(d.rect.bottom, 128);
    EXPECT_EQ(d.title, L"");
    EXPECT_EQ(d.face, L"MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.weight, 400);
    EXPECT_EQ(d.charset, 1);
    ExpectControls(d, {
        {IDC_TIP_OK, L"Button", kPlainButton, {32, 95, 43, 19}, L"确定"},
        {IDC_TIP_CANCEL, L"Button", kPlainButton, {156, 96, 43, 19}, L"取消"},
        {IDC_TIP_CLOSE, L"Button", kPlainButton, {210, 7, 22, 14}, L"X"},
    });
}

TEST(DialogTemplates, AboutBoxHasCaptionIconNameNoticeAndOk)
{
    const Dialog d = ReadTemplate(IDD_ABOUTBOX);
    EXPECT_EQ(d.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.rect.right, 170);
    EXPECT_EQ(d.rect.bottom, 62);
    EXPECT_EQ(d.title, L"关于 TarnvikHSDownloader");
    EXPECT_EQ(d.face, L"MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 9);
    EXPECT_EQ(d.charset, 1);
    ASSERT_EQ(d.controls.size(), 4u);
    const std::wstring notice = d.controls[2].text;
    EXPECT_FALSE(notice.empty()) << "legal notice";
    ExpectControls(d, {
        {IDC_STATIC, L"Static", kChild | SS_ICON, {14, 14, 21, 20}, L"#128"},
        {IDC_STATIC, L"Static", kChild | WS_GROUP | SS_NOPREFIX, {42, 14, 114, 8}, L"TarnvikHSDownloader，1.0.4 版"},
        {IDC_STATIC, L"Static", kChild | WS_GROUP, {42, 26, 114, 8}, notice},
        {IDOK, L"Button", kChild | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, {113, 41, 50, 14}, L"确定"},
    });
}

// Creating each dialog from its template: the system builds the controls in template order, by class and text.
TEST(DialogTemplates, CreatingEachGivesItsControlsInOrder)
{
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&classes));
    for (const int id : {IDD_MAIN, IDD_TIP, IDD_ABOUTBOX}) {
        SCOPED_TRACE(id);
        const Dialog stored = ReadTemplate(id);
        const HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
                                            MinimalDialogProc, 0);
        ASSERT_NE(dlg, nullptr) << GetLastError();
        const LONG style = GetWindowLongW(dlg, GWL_STYLE), exStyle = GetWindowLongW(dlg, GWL_EXSTYLE);
        EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, id == IDD_ABOUTBOX);
        EXPECT_EQ((style & WS_VISIBLE) != 0, id == IDD_MAIN);
        EXPECT_EQ((exStyle & WS_EX_APPWINDOW) != 0, id == IDD_MAIN);
        EXPECT_EQ(style & WS_THICKFRAME, 0);

        HWND child = GetWindow(dlg, GW_CHILD);
        for (const Control& c : stored.controls) {
            SCOPED_TRACE(c.id);
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(GetDlgCtrlID(child), c.id);
            wchar_t buffer[128] = {};
            GetClassNameW(child, buffer, 128);
            EXPECT_EQ(_wcsicmp(buffer, c.className.c_str()), 0) << buffer;
            if (c.text[0] == L'#') {
                EXPECT_NE(SendMessageW(child, STM_GETICON, 0, 0), 0) << "the About box shows icon 128";
            } else {
                GetWindowTextW(child, buffer, 128);
                EXPECT_EQ(buffer, c.text);
            }
            EXPECT_EQ(GetWindowLongW(child, GWL_STYLE) & (WS_TABSTOP | WS_GROUP),
                      static_cast<LONG>(c.style & (WS_TABSTOP | WS_GROUP)));
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr);
        DestroyWindow(dlg);
    }
}
