#include "DownloadJob.h"
#include "MainDlg.h"
#include <shlwapi.h>
#include "som/SomSkin.h"
#include "text/DlgMsgBox.h"
#include "DownloadPoll.h"

static const LPCWSTR kStatusLines[] = {
    L"正在优化系统 .",
    L"正在优化系统 . .",
    L"正在优化系统 . . .",
    L"正在优化系统 . . . .",
    L"正在优化系统 . . . . .",
    L"正在优化系统 . . . . . .",
    L"正在备份文件 .",
    L"正在备份文件 . .",
    L"正在备份文件 . . .",
    L"正在备份文件 . . . .",
    L"正在备份文件 . . . . .",
    L"正在备份文件 . . . . . .",
};
static const DWORD kStatusLineMs = 100;

LRESULT CMainDlg::OnInstall(WORD, WORD, HWND, BOOL&)
{
    if (!FindImageTarget(m_szImagePath, ARRAYSIZE(m_szImagePath), m_nImageKind)) {
        CDlgMsgBox box(L"磁盘空间不足", L"检测到系统安装所需要的空间不足，不能装机。",
                       L"请清除硬盘空间后再尝试操作。", NULL);
        box.DoModal(::GetActiveWindow());
        ExitDialog();
        return 0;
    }

    SetPage(PAGE_DOWNLOAD);
    // Each line is drawn at once: the manager repaints changed elements immediately.
    for (LPCWSTR pszLine : kStatusLines) {
        m_wndStatus.SetText(pszLine);
        ::Sleep(kStatusLineMs);
    }
    m_wndStatus.SetText(L"正在准备系统重装文件，请耐心等待，重装后还你一个极速系统 . . .");
    m_imgSteps.SetImage(&g_skin.m_bmpSteps, 1);

    if (::PathFileExistsW(m_szImagePath)) {
        m_bImageReady = TRUE;
    } else {
        m_bImageReady = FALSE;
        m_lTaskId = m_engine.StartTask(m_szImagePath, m_pszImageUrl, NULL, NULL);
        m_bTaskStarted = TRUE;
    }
    m_dwLastTick = GetDownloadClock();
    m_ullLastRecv = 0;
    ::SetTimer(m_hWnd, TIMER_DOWNLOAD, TIMER_DOWNLOAD_PERIOD, NULL);
    return 0;
}

// Every timer message also goes on to the element manager.
LRESULT CMainDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    if (m_nPage != PAGE_DOWNLOAD || wParam != TIMER_DOWNLOAD)
        return 0;

    DWORD dwNow = GetDownloadClock();
    LONG lStatus = 0;
    ULONGLONG ullTotal = 0;
    ULONGLONG ullReceived = 0;
    if (!m_bImageReady)
        m_engine.QueryTask(m_lTaskId, &ullReceived, &ullTotal, &lStatus);
    if (m_bImageReady || lStatus == DL_STATUS_FINISHED) {
        OnImageComplete();
        return 0;
    }

    DownloadSample sample;
    if (!TakeDownloadSample(dwNow, ullReceived, ullTotal, m_dwLastTick, m_ullLastRecv, &sample))
        return 0;
    m_progress.SetPercent(sample.nPercent);
    if (sample.bRebase) {
        m_dwLastTick = dwNow;
        m_ullLastRecv = ullReceived;
        return 0;
    }
    // No new bytes: keep the line; the next sample spans the longer interval.
    if (sample.lSpeed <= 0)
        return 0;
    WCHAR szSpeed[2048];
    ::wnsprintfW(szSpeed, ARRAYSIZE(szSpeed) - 1, L"下载速度%ukb/s。", (UINT)sample.lSpeed);
    m_wndSpeed.SetText(szSpeed);
    m_dwLastTick = dwNow;
    m_ullLastRecv = ullReceived;
    return 0;
}
