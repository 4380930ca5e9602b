#include "Handoff.h"
#include <shlobj.h>
#include <shlwapi.h>
#include "startup/Payload.h"
#include "som/SomSkin.h"
#include "MainDlg.h"

BOOL CreateMarkerFile(LPCWSTR pszPath)
{
    WCHAR szFolder[264];
    ::lstrcpynW(szFolder, pszPath, 260);
    ::PathRemoveFileSpecW(szFolder);
    ::SHCreateDirectoryExW(NULL, szFolder, NULL);
    HANDLE hFile = ::CreateFileW(pszPath, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFile);
    return ::PathFileExistsW(pszPath);
}

// Path of a marker in the image's folder: the ".." drops the image's file name.
static void GetMarkerPath(LPWSTR pszOut, LPCWSTR pszImagePath, LPCWSTR pszMarker)
{
    ::lstrcpynW(pszOut, pszImagePath, 263);
    ::PathAppendW(pszOut, pszMarker);
}

void CMainDlg::OnImageComplete()
{
    m_bImageReady = TRUE;
    ::KillTimer(m_hWnd, TIMER_DOWNLOAD);
    // Once per process: a download timer message still queued (or sent by anyone) must not
    // start the restore tool a second time.
    if (m_bHandedOff)
        return;
    m_bHandedOff = TRUE;

    m_imgSteps.SetImage(&g_skin.m_bmpSteps, 2);
    m_progress.SetPercent(100);
    m_wndSpeed.SetText(L"");
    m_wndStatus.SetText(L"重装所需文件准备完毕，建议立即重装. . .");

    WCHAR szFolder[264];
    ::lstrcpynW(szFolder, m_szImagePath, 263);
    ::PathRemoveFileSpecW(szFolder);
    ExtractResourceFile(RESTORE_TOOL_RES_ID, szFolder, RESTORE_TOOL_NAME);
    WCHAR szTool[264];
    ::lstrcpynW(szTool, szFolder, 263);
    ::PathAppendW(szTool, RESTORE_TOOL_NAME);

    // A marker of an earlier run with the other kind must not remain.
    WCHAR szXpMarker[264];
    WCHAR szWin7Marker[264];
    GetMarkerPath(szXpMarker, m_szImagePath, L"..\\xp.cfg");
    GetMarkerPath(szWin7Marker, m_szImagePath, L"..\\win7.cfg");
    ::DeleteFileW(szXpMarker);
    ::DeleteFileW(szWin7Marker);
    if (m_nImageKind == IMAGE_KIND_XP)
        CreateMarkerFile(szXpMarker);
    else if (m_nImageKind == IMAGE_KIND_WIN7 || m_nImageKind == IMAGE_KIND_WIN7_X64)
        CreateMarkerFile(szWin7Marker);

    RunAndWait(szTool, RESTORE_TOOL_ARGS);
    ::ShowWindow(m_hWnd, SW_HIDE);
}
