#include "DownloadJob.h"
#include "MainDlg.h"
#include <shlwapi.h>
#include "som/SomSkin.h"
#include "text/DlgMsgBox.h"
#include "startup/Catalogue.h"
#include "startup/KorvaneConfig.h"
#include "DownloadPoll.h"
#include "ProgressText.h"

static const LPCWSTR kStatusLines[] = {
    L"正在优化系统 .",         L"正在优化系统 . .",         L"正在优化系统 . . .",     L"正在优化系统 . . . .",
    L"正在优化系统 . . . . .", L"正在优化系统 . . . . . .", L"正在备份文件 .",         L"正在备份文件 . .",
    L"正在备份文件 . . .",     L"正在备份文件 . . . .",     L"正在备份文件 . . . . .", L"正在备份文件 . . . . . .",
};
static const DWORD kStatusLineMs = 100;

LRESULT CMainDlg::OnInstall(WORD, WORD, HWND, BOOL&)
{
    // A try after a failure asks the server again: its addresses or hash may have changed.
    // When it cannot be reached the addresses already known are used.
    if (m_bFailedBefore)
        ReloadCatalogue(KORVANE_CATALOGUE_URL);

    if (!FindImageTarget(m_szImagePath, ARRAYSIZE(m_szImagePath), m_nImageKind)) {
        CDlgMsgBox box(L"磁盘空间不足", L"检测到系统安装所需要的空间不足，不能装机。", L"请清除硬盘空间后再尝试操作。",
                       NULL);
        box.DoModal(::GetActiveWindow());
        ExitDialog();
        return 0;
    }

    m_imgSteps.SetImage(&g_skin.m_bmpSteps, 0);
    m_progress.SetPercent(0);
    m_wndSpeed.SetText(L"");
    m_wndDetail.SetText(L"");
    SetPage(PAGE_DOWNLOAD);
    // Each line is drawn at once: the manager repaints changed elements immediately.
    for (LPCWSTR pszLine : kStatusLines) {
        m_wndStatus.SetText(pszLine);
        ::Sleep(kStatusLineMs);
    }
    m_wndStatus.SetText(L"正在准备系统重装文件，请耐心等待，重装后还你一个极速系统 . . .");
    m_imgSteps.SetImage(&g_skin.m_bmpSteps, 1);

    m_dwLastTick = GetDownloadClock();
    m_ullLastRecv = 0;
    m_lLastSpeed = 0;
    if (!BeginImageTask())
        return 0;
    ::SetTimer(m_hWnd, TIMER_DOWNLOAD, TIMER_DOWNLOAD_PERIOD, NULL);
    return 0;
}

BOOL CMainDlg::BeginImageTask()
{
    m_bImageReady = FALSE;
    m_bVerifyTask = FALSE;
    m_bImageChecked = FALSE;
    if (!::PathFileExistsW(m_szImagePath))
        return StartDownloadTask();

    // An image from an earlier run is handed over only once it is known to be the right one.
    if (m_pSource->szSha256[0] != L'\0')
        return StartHeldCheck();
    if (m_pSource->ullSize != 0 && FileSizeOf(m_szImagePath) != m_pSource->ullSize) {
        ::DeleteFileW(m_szImagePath);
        return StartDownloadTask();
    }
    m_bImageReady = TRUE;
    return TRUE;
}

BOOL CMainDlg::StartHeldCheck()
{
    if (!m_handoff.HoldImage(m_szImagePath)) {
        ShowDownloadFailure(DFC_WRITE);
        return FALSE;
    }
    LONG lError = 0;
    m_lTaskId = m_engine.VerifyFile(m_szImagePath, m_pSource->ullSize, m_pSource->szSha256, &lError);
    if (lError != DLE_OK) {
        ShowDownloadFailure(CauseOfEngineError(lError));
        return FALSE;
    }
    m_bTaskStarted = TRUE;
    m_bVerifyTask = TRUE;
    FormatAndShowVerifying(0, 0);
    return TRUE;
}

BOOL CMainDlg::StartDownloadTask()
{
    // A file that could not be deleted would be taken for the finished image.
    if (::PathFileExistsW(m_szImagePath)) {
        ShowDownloadFailure(DFC_WRITE);
        return FALSE;
    }
    LPCWSTR apszUrls[IMAGE_SOURCE_MAX_URLS];
    int nUrls = OrderImageUrls(m_pszImageUrl, *m_pSource, apszUrls, ARRAYSIZE(apszUrls));
    if (nUrls == 0) {
        ShowDownloadFailure(DFC_NO_ADDRESS);
        return FALSE;
    }
    DL_TASK_PARAMS params;
    ZeroMemory(&params, sizeof(params));
    params.cbSize = sizeof(params);
    params.pszPath = m_szImagePath;
    params.ppszUrls = apszUrls;
    params.cUrls = nUrls;
    params.ullExpectedSize = m_pSource->ullSize;
    params.pszSha256 = m_pSource->szSha256[0] != L'\0' ? m_pSource->szSha256 : NULL;

    LONG lError = 0;
    m_bVerifyTask = FALSE;
    m_lTaskId = m_engine.StartTaskEx(&params, &lError);
    if (lError != DLE_OK) {
        ShowDownloadFailure(CauseOfEngineError(lError));
        return FALSE;
    }
    m_bTaskStarted = TRUE;
    return TRUE;
}

void CMainDlg::FormatAndShowVerifying(ULONGLONG ullVerified, ULONGLONG ullTotal)
{
    WCHAR szLine[PROGRESS_TEXT_CCH];
    FormatVerifyingLine(szLine, ARRAYSIZE(szLine), ullVerified, ullTotal);
    m_wndDetail.SetText(szLine);
    ::wnsprintfW(szLine, ARRAYSIZE(szLine), TRAY_TIP L" 校验中 %d%%", PercentOf(ullVerified, ullTotal));
    SetTrayTip(szLine);
}

// Every timer message also goes on to the element manager.
LRESULT CMainDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    if (m_nPage != PAGE_DOWNLOAD || wParam != TIMER_DOWNLOAD)
        return 0;

    DWORD dwNow = GetDownloadClock();
    DL_TASK_INFO info;
    ZeroMemory(&info, sizeof(info));
    if (m_bImageReady) {
        OnImageComplete();
        return 0;
    }
    // A task the engine no longer knows would leave the page waiting for ever.
    LONG lQuery = m_engine.QueryTaskEx(m_lTaskId, &info);
    if (lQuery != DLE_OK) {
        ShowDownloadFailure(CauseOfEngineError(lQuery));
        return 0;
    }
    if (PollTaskEnd(info))
        return 0;
    if (info.lStatus == DL_STATUS_VERIFYING) {
        FormatAndShowVerifying(info.ullVerified, info.ullTotal);
        return 0;
    }

    DownloadSample sample;
    if (!TakeDownloadSample(dwNow, info.ullReceived, info.ullTotal, m_dwLastTick, m_ullLastRecv, &sample)) {
        // Reconnecting is shown at once, even before the size is known.
        if (info.lStatus == DL_STATUS_RETRYING)
            ShowPollDetail(info);
        return 0;
    }
    m_progress.SetPercent(sample.nPercent);
    if (sample.bRebase) {
        m_dwLastTick = dwNow;
        m_ullLastRecv = info.ullReceived;
        m_lLastSpeed = 0;
        ShowPollDetail(info);
        return 0;
    }
    // No new bytes: keep the line; the next sample spans the longer interval.
    if (sample.lSpeed > 0) {
        WCHAR szSpeed[2048];
        ::wnsprintfW(szSpeed, ARRAYSIZE(szSpeed) - 1, L"下载速度%ukb/s。", (UINT)sample.lSpeed);
        m_wndSpeed.SetText(szSpeed);
        m_dwLastTick = dwNow;
        m_ullLastRecv = info.ullReceived;
        m_lLastSpeed = sample.lSpeed;
    }
    ShowPollDetail(info);
    return 0;
}

// The end states of a poll: complete (the completion runs; a downloaded image the catalogue
// gives a SHA-256 for is first checked again while held: the engine matched the bytes it
// wrote, but the file could have been changed since), a verify-only task that found other
// bytes (they are deleted and fetched again), or failed (the failure box).
BOOL CMainDlg::PollTaskEnd(const DL_TASK_INFO& info)
{
    if (info.lStatus == DL_STATUS_FINISHED) {
        if (!m_bVerifyTask && m_pSource->szSha256[0] != L'\0') {
            m_bTaskStarted = FALSE;
            if (!StartHeldCheck())
                ::KillTimer(m_hWnd, TIMER_DOWNLOAD);
            return TRUE;
        }
        // Status 11 of a verify-only task means the engine matched the held image.
        m_bImageChecked = m_bVerifyTask;
        OnImageComplete();
        return TRUE;
    }
    if (!DL_STATUS_IS_FAILED(info.lStatus))
        return FALSE;
    LONG lError = DL_FAILED_ERROR(info.lStatus);
    if (m_bVerifyTask && (lError == DLE_CHECKSUM || lError == DLE_SIZE_MISMATCH)) {
        m_engine.StopTask(m_lTaskId);
        m_handoff.ReleaseImage();
        ::DeleteFileW(m_szImagePath);
        m_wndDetail.SetText(L"");
        if (!StartDownloadTask())
            ::KillTimer(m_hWnd, TIMER_DOWNLOAD);
        return TRUE;
    }
    ShowDownloadFailure(CauseOfEngineError(lError));
    return TRUE;
}

void CMainDlg::ShowPollDetail(const DL_TASK_INFO& info)
{
    WCHAR szLine[PROGRESS_TEXT_CCH];
    if (info.lStatus == DL_STATUS_RETRYING) {
        FormatReconnectingLine(szLine, ARRAYSIZE(szLine));
        // Nothing arrives while reconnecting: the last speed would claim progress that is not there.
        m_wndSpeed.SetText(L"下载速度0kb/s。");
        m_lLastSpeed = 0;
    } else
        FormatProgressLine(szLine, ARRAYSIZE(szLine), info.ullReceived, info.ullTotal, m_lLastSpeed);
    m_wndDetail.SetText(szLine);
    // The tip tells the progress while the window is hidden.
    ::wnsprintfW(szLine, ARRAYSIZE(szLine), TRAY_TIP L" 下载中 %d%%", PercentOf(info.ullReceived, info.ullTotal));
    SetTrayTip(szLine);
}

void CMainDlg::ShowDownloadFailure(DownloadFailureCause cause)
{
    ::KillTimer(m_hWnd, TIMER_DOWNLOAD);
    // Stopping keeps the engine's work files: the next try resumes from them.
    if (m_bTaskStarted)
        m_engine.StopTask(m_lTaskId);
    m_bTaskStarted = FALSE;
    m_lTaskId = 0;
    m_handoff.Release();
    m_bFailedBefore = TRUE;
    m_nLastFailure = cause;

    // The user has to see it, also when the window was hidden during the download.
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    ::SetForegroundWindow(m_hWnd);
    const DownloadFailureTexts& texts = TextsOfCause(cause);
    {
        CDlgMsgBox box(texts.pszTitle, texts.pszLine, texts.pszHint, NULL);
        box.DoModal(m_hWnd);
    }
    m_wndDetail.SetText(L"");
    m_wndSpeed.SetText(L"");
    m_progress.SetPercent(0);
    m_imgSteps.SetImage(&g_skin.m_bmpSteps, 0);
    SetTrayTip(TRAY_TIP);
    SetPage(PAGE_CHOICE);
}
