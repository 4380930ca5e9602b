#include "Handoff.h"
#include <shlwapi.h>
#include "som/SomSkin.h"
#include "startup/FileInFolder.h"
#include "startup/Payload.h"
#include "MainDlg.h"

BOOL CreateMarkerFile(LPCWSTR pszFolder, LPCWSTR pszName)
{
    WCHAR szPath[MAX_PATH + 4];
    if (!PrepareFileInFolder(pszFolder, pszName, szPath))
        return FALSE;
    HANDLE hFile = ::CreateFileW(szPath, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFile);
    return ::PathFileExistsW(szPath);
}

// Deletes the marker pszName of the image folder (one of an earlier run may remain).
static void DeleteMarkerFile(LPCWSTR pszFolder, LPCWSTR pszName)
{
    WCHAR szPath[MAX_PATH + 4];
    ::lstrcpynW(szPath, pszFolder, ARRAYSIZE(szPath));
    if (::PathAppendW(szPath, pszName))
        ::DeleteFileW(szPath);
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

    // The image's folder receives the tool and the marker.
    WCHAR szFolder[MAX_PATH + 4];
    ::lstrcpynW(szFolder, m_szImagePath, ARRAYSIZE(szFolder) - 1);
    ::PathRemoveFileSpecW(szFolder);
    ExtractResourceFile(PAYLOAD_ID_RESTORE, szFolder, RESTORE_TOOL_NAME);
    WCHAR szTool[MAX_PATH + 4];
    ::lstrcpynW(szTool, szFolder, ARRAYSIZE(szTool) - 1);
    ::PathAppendW(szTool, RESTORE_TOOL_NAME);

    // A marker of an earlier run with the other kind must not remain.
    DeleteMarkerFile(szFolder, L"xp.cfg");
    DeleteMarkerFile(szFolder, L"win7.cfg");
    if (m_nImageKind == IMAGE_KIND_XP)
        CreateMarkerFile(szFolder, L"xp.cfg");
    else if (m_nImageKind == IMAGE_KIND_WIN7 || m_nImageKind == IMAGE_KIND_WIN7_X64)
        CreateMarkerFile(szFolder, L"win7.cfg");

    RunAndWait(szTool, RESTORE_TOOL_ARGS);
    ::ShowWindow(m_hWnd, SW_HIDE);
}
