// CMainDlg: the installer's one main window, a borderless skinned modal dialog. It is the
// dialog, the element manager of its 23 windowless elements (two pages: system choice and
// download) and the notification-area icon owner. Start-up constructs it, runs DoModal and
// destroys it; its end code is the process exit code.
#pragma once
#include <windows.h>
#include "frame/IndirectDialog.h"
#include "frame/MsgMap.h"
#include "som/SomWndManager.h"
#include "som/SomButton4.h"
#include "som/SomImageWnd.h"
#include "som/SomProgress.h"
#include "text/SomTextWnd.h"
#include "engine/DLEngine.h"
#include "res/resource.h"
#include "startup/ImageSource.h"
#include "DownloadFailure.h"
#include "HandoffHold.h"
#include "DownloadJob.h"
#include "ImageTarget.h"
#include "TrayIcon.h"

enum {
    PAGE_CHOICE = 1,
    PAGE_DOWNLOAD = 2,
};

enum {
    IDC_BTN_MIN = 0x101,
    IDC_BTN_MAX = 0x102,
    IDC_BTN_CLOSE = 0x103,
    ID_TRAY_RESTORE = 0x201,
    ID_TRAY_EXIT = 0x202,
    IDC_BTN_INSTALL = 0x301,
    ID_MIN_INSTALL = 0x401,
};

// The tray icon's tip; during the download it is followed by the progress.
#define TRAY_TIP L"Korvane一键装机"

// Private message a second copy may send; the window answers 1.
#define WM_PROBE 0xCCCD

class CMainDlg : public CIndirectDialogImpl<CMainDlg>, public CSomWndManager, public CTrayIconImpl<CMainDlg>
{
public:
    // Both the dialog base and the manager keep the window handle; the dialog's is the one
    // the framework sets first.
    using CIndirectDialogImpl<CMainDlg>::m_hWnd;

    CDLEngine m_engine;
    LONG m_lTaskId;
    DWORD m_dwLastTick;       // GetTickCount of the last speed sample
    ULONGLONG m_ullLastRecv;  // bytes received at the last speed sample
    BOOL m_bImageReady;
    int m_nPage;
    int m_nImageKind;
    LPCWSTR m_pszImageUrl;  // g_szXPUrl or g_szWin7Url; not owned
    BOOL m_bStartPageOption;
    WCHAR m_szImagePath[264];

    // Elements, in declaration order; geometry in MainDlgLayout.cpp.
    CSomTextWnd m_wndTitle;
    CSomTextWnd m_wndSiteLink;
    CSomTextWnd m_wndBuildTime;
    CSomButton4 m_btnMin;
    CSomButton4 m_btnMax;
    CSomButton4 m_btnClose;
    CSomTextWnd m_wndHealth;
    CSomImageWnd m_imgXp;
    CSomImageWnd m_imgWin7;
    CSomTextWnd m_wndXpLabel;
    CSomTextWnd m_wndWin7Label;
    CSomImageWnd m_imgSlogan;
    CSomButton4 m_btnInstall;
    CSomImageWnd m_imgCheck;
    CSomTextWnd m_wndCheckLabel;
    CSomImageWnd m_imgWin7Radio;
    CSomImageWnd m_imgXpRadio;
    CSomImageWnd m_imgSteps;
    CSomProgress m_progress;
    CSomTextWnd m_wndSpeed;
    CSomTextWnd m_wndStatus;
    CSomTextWnd m_wndMinInstall;
    CSomTextWnd m_wndDetail;  // received/total and time left; reconnecting; verifying

    BOOL m_bTaskStarted;           // StartTask has been called (OnTrayExit stops the task)
    BOOL m_bHandedOff;             // the completion ran; a stray download timer cannot rerun it
    const ImageSource* m_pSource;  // g_srcXP or g_srcWin7; not owned
    BOOL m_bVerifyTask;            // the task only hashes an image that was already at the path
    BOOL m_bImageChecked;          // the engine matched the image at the path against the catalogue
    CHandoffHold m_handoff;        // the image while it is checked, then all the hand-off holds
    BOOL m_bFailedBefore;          // a failure box was shown: the next install fetches the catalogue anew
    LONG m_lLastSpeed;             // bytes per millisecond of the last speed sample, for the time left
    int m_nLastFailure;            // DownloadFailureCause of the last failure box; -1 before any

    CMainDlg();
    ~CMainDlg() override;

    void InitTemplate();

    BEGIN_MSG_MAP(CMainDlg)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    CHAIN_MSG_MAP(CSomWndManager)
    CHAIN_MSG_MAP(CTrayIconImpl<CMainDlg>)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    COMMAND_ID_HANDLER(IDC_BTN_CLOSE, OnHide)
    COMMAND_ID_HANDLER(IDC_BTN_MIN, OnHide)
    COMMAND_ID_HANDLER(ID_TRAY_RESTORE, OnTrayRestore)
    COMMAND_ID_HANDLER(ID_TRAY_EXIT, OnTrayExit)
    COMMAND_ID_HANDLER(IDC_BTN_INSTALL, OnInstall)
    COMMAND_ID_HANDLER(ID_MIN_INSTALL, OnHide)
    MESSAGE_HANDLER(WM_PROBE, OnProbe)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    END_MSG_MAP()

    // Paints the skin background and the rounded outline in client coordinates.
    void DrawBackground(HDC hdc, const RECT* prc) override;

    void SetPage(int nPage);
    BOOL SetChoice(int nKind);
    BOOL ShowHealthNotice();

    // For CTrayIconImpl: the dialog window, and the tray menu at a screen point.
    HWND GetTrayWindow() const { return m_hWnd; }
    void ShowTrayMenu(POINT pt);

    // Message handlers.
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnHide(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnTrayRestore(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnTrayExit(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnInstall(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnProbe(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // The completion and hand-off to the restore tool (Handoff.h).
    void OnImageComplete();
    // TRUE when the image at the path may reach the restore tool: with a SHA-256 in the
    // catalogue only after the engine matched it, with only a size when the size matches.
    BOOL ImageMayBeHandedOver() const;

    // Stops the task, shows the failure box for the cause, then brings the choice page
    // back so that the install button tries again (the engine's work files stay).
    void ShowDownloadFailure(DownloadFailureCause cause);
    // After the status lines: verifies an image already at the path, takes it as ready, or
    // starts the download. FALSE when it failed (the failure box has been shown).
    BOOL BeginImageTask();

private:
    void CreateElements(int cxWnd, int cyWnd);
    void SetBuildTimeText();
    // Stops the task when one was started, then ends the dialog with 0.
    void ExitDialog();
    BOOL StartDownloadTask();
    // Holds the image at the path, then has the engine hash it against the catalogue: what is
    // checked is what the restore tool will get. FALSE when it failed (box shown).
    BOOL StartHeldCheck();
    // One poll of a running task; TRUE when the completion ran or a failure was shown.
    BOOL PollTaskEnd(const DL_TASK_INFO& info);
    // The detail line and the tray tip of a poll; while the engine reconnects, the reconnecting
    // line and a speed of 0.
    void ShowPollDetail(const DL_TASK_INFO& info);
    void FormatAndShowVerifying(ULONGLONG ullVerified, ULONGLONG ullTotal);
};
