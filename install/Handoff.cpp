#include "Handoff.h"
#include <shlwapi.h>
#include "som/SomSkin.h"
#include "startup/FileInFolder.h"
#include "HandoffHold.h"
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

BOOL CMainDlg::ImageMayBeHandedOver() const
{
    if (m_pSource->szSha256[0] != L'\0')
        return m_bImageChecked;
    if (m_pSource->ullSize == 0)
        return TRUE;
    return FileSizeOf(m_szImagePath) == m_pSource->ullSize;
}

void CMainDlg::OnImageComplete()
{
    // The restore tool wipes the system with what it is given: nothing that could be
    // checked and was not reaches it.
    if (!m_bHandedOff && !ImageMayBeHandedOver()) {
        ShowDownloadFailure(DFC_CHECKSUM);
        return;
    }
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
    m_wndDetail.SetText(L"");
    SetTrayTip(TRAY_TIP);

    // The image's folder receives the tool and the marker. Until the tool's end the image
    // (held since before its check), the folder, the tool and the marker are held: the tool
    // is started only when all of them are, and then runs on exactly what was checked.
    WCHAR szFolder[MAX_PATH + 4];
    ::lstrcpynW(szFolder, m_szImagePath, ARRAYSIZE(szFolder) - 1);
    ::PathRemoveFileSpecW(szFolder);
    BOOL bHeld = m_handoff.HoldFolderAndWriteTool(szFolder, RESTORE_TOOL_NAME);
    bHeld = m_handoff.HoldImage(m_szImagePath) && bHeld;

    // A marker of an earlier run with the other kind must not remain.
    DeleteMarkerFile(szFolder, L"xp.cfg");
    DeleteMarkerFile(szFolder, L"win7.cfg");
    LPCWSTR pszMarker = NULL;
    if (m_nImageKind == IMAGE_KIND_XP)
        pszMarker = L"xp.cfg";
    else if (m_nImageKind == IMAGE_KIND_WIN7 || m_nImageKind == IMAGE_KIND_WIN7_X64)
        pszMarker = L"win7.cfg";
    if (pszMarker != NULL) {
        CreateMarkerFile(szFolder, pszMarker);
        bHeld = m_handoff.HoldMarker(szFolder, pszMarker) && bHeld;
    }

    if (bHeld)
        RunAndWait(m_handoff.ToolPath(), RESTORE_TOOL_ARGS);
    m_handoff.Release();
    ::ShowWindow(m_hWnd, SW_HIDE);
}
