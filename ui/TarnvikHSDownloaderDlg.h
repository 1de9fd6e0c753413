// CTarnvikHSDownloaderDlg: the program's skinned main window, its five views and its commands.
#pragma once

#include "AdvEdit.h"
#include "BitmapButtonEx.h"
#include "Brush.h"
#include "Button.h"
#include "DownloadJob.h"
#include "Font.h"
#include "ProgressCtrlEx.h"
#include "SkinnedDialog.h"
#include "Static.h"
#include "TipWndDlg.h"

#include <memory>

// View states of the main dialog: which background and which controls it shows. They index its views table.
constexpr int VS_READY = 0;
constexpr int VS_DOWNLOADING = 1;
constexpr int VS_DOWNLOAD_FAILED = 2;
constexpr int VS_COMPLETED = 3;
constexpr int VS_INSTALL_FAILED = 4;

class CTarnvikHSDownloaderDlg : public CSkinnedDialog {
public:
    CTarnvikHSDownloaderDlg();
    ~CTarnvikHSDownloaderDlg() override;

    BOOL OnInitDialog() override;
    // A message box or the folder chooser (both unowned) may still run its own loop when the dialog ends:
    // it is cancelled so that the program ends with the window.
    void EndDialog(int nResult) override;

    void LayoutControls();
    void ShowReadyView();
    void ShowDownloadingView();
    void ShowDownloadFailedView();
    void ShowCompletedView();
    void ShowInstallFailedView();
    // Stops a running job (asking it, hiding the window and waiting at most 3 s), then ends the dialog.
    void StopAndClose();

    // Shared with the worker thread, which keeps its own reference: a worker still inside a network call
    // when the dialog ends never reaches a freed record.
    std::shared_ptr<CDownloadJob> m_job;
    COLORREF m_clrLabelText = 0;
    CFont m_fontLabels;
    CTipWndDlg m_tipDlg;
    CBrush m_brReady;
    CBrush m_brDownloading;
    CBrush m_brDownloadFailed;
    CBrush m_brCompleted;
    CBrush m_brInstallFailed;
    int m_nViewState = VS_READY;
    HICON m_hAppIcon = nullptr;
    CBitmapButtonEx m_btnMinimize;
    CBitmapButtonEx m_btnExit;
    CBitmapButtonEx m_btnRedownload;
    CProgressCtrlEx m_progress;
    CStatic m_lblPercent;
    CStatic m_lblSize;
    CStatic m_lblSpeed;
    CBitmapButtonEx m_btnDownload;
    CButton m_btnStop;
    CBitmapButtonEx m_btnInstall;
    CButton m_btnGiveUp;
    CBitmapButtonEx m_btnBrowse;
    CAdvEdit m_editPath;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnCommand(UINT nID) override;
    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) override;

private:
    void AddAboutToSystemMenu();
    // Makes the five background brushes and sizes the window to the ready picture.
    void LoadBackgrounds();
    void LoadButtonImages();
    void StyleProgressBar();
    // The status labels' font, colour and size.
    void StyleLabels();
    // The desktop, or the prompt when there is none.
    void ProposeDownloadFolder();

    // Shows the view of that state (VS_...) as the views table describes it.
    void ApplyView(int nViewState);
    CBrush& BackgroundBrush();

    bool OnSysCommand(UINT nID);
    bool OnPaint();
    bool OnSetCursor(HWND hWnd);
    void OnLButtonDown(LPARAM lParam);
    LRESULT OnDownloadStatus(WPARAM code);
    void OnDownload();
    void OnRedownload();
    void OnStop();
    void OnExit();
    void OnInstall();
    void OnBrowse();
    void OnMinimize();
};
