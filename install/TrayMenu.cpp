// The tray icon's right-click menu of the main dialog.
#include "MainDlg.h"

void CMainDlg::ShowTrayMenu(POINT pt)
{
    HMENU hMenu = ::CreatePopupMenu();
    if (hMenu == NULL)
        return;
    ::AppendMenuW(hMenu, 0, ID_TRAY_RESTORE, L"点我恢复");
    ::AppendMenuW(hMenu, 0, ID_TRAY_EXIT, L"点我退出");
    int x = ClampToWorkArea(pt.x, pt.y);
    // The menu's bottom edge sits at the cursor; a dismissed menu returns 0.
    UINT nCmd = (UINT)::TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_BOTTOMALIGN, x, pt.y, 0, m_hWnd, NULL);
    ::PostMessageW(m_hWnd, WM_COMMAND, nCmd, 0);
    ::DestroyMenu(hMenu);
}
