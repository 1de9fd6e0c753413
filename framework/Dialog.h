// CDialog: a dialog built from a template, run modally by our own message loop or created modeless.
#pragma once

#include "DataExchange.h"
#include "Wnd.h"

class CDialog : public CWnd {
public:
    static const CRuntimeClass classCDialog;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCDialog; }

    // pParentWnd null: the owner is the main window (CWnd::GetMainWnd), or the thread's active window.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Uses a template in memory instead of the resource (it must outlive the dialog window).
    void InitModalIndirect(const DLGTEMPLATE* pTemplate) { m_pTemplate = pTemplate; }

    // Creates the window (owner disabled), shows it after OnInitDialog and runs the modal loop until EndDialog.
    // Returns the EndDialog result, or -1 when the window could not be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless, owned by pOwner (none when null); EndDialog then only records the result.
    BOOL Create(CWnd* pOwner = nullptr);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Only records the result and raises a flag; the modal loop sees it and ends. Every way of ending comes
    // through here, so a dialog that must undo something as it ends overrides it.
    virtual void EndDialog(int nResult);
    bool IsEnded() const { return m_bEnded; }
    int GetEndResult() const { return m_nResult; }

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    CWnd* m_pParentWnd;
    UINT m_nIDTemplate;

private:
    HWND CreateFromTemplate(HWND hOwner);
    BOOL HandleInitDialog() override;
    HWND DefaultOwner() const;
    void RunModalLoop();
    static bool PreTranslateInChain(MSG& msg);

    const DLGTEMPLATE* m_pTemplate = nullptr;
    bool m_bEnded = false;
    int m_nResult = -1;
};
